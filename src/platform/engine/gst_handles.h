#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <utility>

namespace chimeon::gst {

// Owning handles for GStreamer and GLib objects. Floating references are sunk once, when a new
// object is adopted, so every handle holds exactly one real reference.
struct ObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            gst_object_unref(object);
        }
    }
};
template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;

// Takes a newly made (possibly floating) object.
template <typename T>
ObjectPtr<T> AdoptFloating(T* object) {
    if (object != nullptr) {
        gst_object_ref_sink(object);
    }
    return ObjectPtr<T>(object);
}

// Takes a reference that the caller already owns (a "transfer full" return value).
template <typename T>
ObjectPtr<T> AdoptFull(T* object) {
    return ObjectPtr<T>(object);
}

struct MiniObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            gst_mini_object_unref(GST_MINI_OBJECT_CAST(object));
        }
    }
};
using MessagePtr = std::unique_ptr<GstMessage, MiniObjectUnref>;
using CapsPtr = std::unique_ptr<GstCaps, MiniObjectUnref>;
using SamplePtr = std::unique_ptr<GstSample, MiniObjectUnref>;
using BufferPtr = std::unique_ptr<GstBuffer, MiniObjectUnref>;

struct ErrorFree {
    void operator()(GError* error) const {
        if (error != nullptr) {
            g_error_free(error);
        }
    }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using CharPtr = std::unique_ptr<gchar, GFree>;

inline std::string ToString(const gchar* text) {
    return text != nullptr ? text : "";
}

// The text of an error message and its debug detail, for the standard error stream.
inline std::string DescribeError(GstMessage* message) {
    GError* raw = nullptr;
    gchar* rawDebug = nullptr;
    gst_message_parse_error(message, &raw, &rawDebug);
    ErrorPtr error(raw);
    CharPtr debug(rawDebug);
    std::string text = error ? ToString(error->message) : "unknown error";
    if (debug) {
        text += " (";
        text += debug.get();
        text += ")";
    }
    return text;
}

}  // namespace chimeon::gst
