#pragma once

#include <ostream>

#include "core/schedule/holiday_calendar.h"
#include "core/schedule/program_item.h"

namespace chimeon {

// Readable failure messages for the stored types.
inline void PrintTo(const ProgramItem& item, std::ostream* out) {
    *out << "{title=\"" << item.title << "\" start=\"" << item.start << "\" end=\"" << item.end
         << "\" volume=\"" << item.volume << "\" mode=\"" << item.mode << "\" path=\"" << item.path
         << "\"}";
}

inline void PrintTo(const ExtraWorkDay& day, std::ostream* out) {
    *out << "{" << day.date << " " << day.table << "}";
}

}  // namespace chimeon
