# One place for the warning flags every target of ours uses.
function(chimeon_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(CHIMEON_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Collects the sources under a folder so that a new file needs no edit of the build.
function(chimeon_glob_sources out_var dir)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
    set(${out_var} ${found} PARENT_SCOPE)
endfunction()
