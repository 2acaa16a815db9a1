#pragma once

#include <optional>
#include <string>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// The largest `next --count` and `check --days`: beyond them an answer takes minutes and helps
// nobody (ten years of days; starts are only looked for a year and a day ahead anyway).
inline constexpr int kMaxNextCount = 10000;
inline constexpr int kMaxCheckDays = 3660;

// What plays on a date ("YYYY-MM-DD"; today when none is given).
int RunDay(const CommandContext& context, const std::optional<std::string>& date);

// The next `count` starts from a moment ("YYYY-MM-DD HH:MM:SS"; now when none is given), across
// days up to a year and a day ahead; says so when fewer were found.
int RunNext(const CommandContext& context, int count, const std::optional<std::string>& moment);

// Everything that would make a bell silently not ring in the `days` days from a moment; exit 1
// when anything is found.
int RunCheck(const CommandContext& context, int days, const std::optional<std::string>& moment);

}  // namespace chimeon::ctl
