#include "platform/schedule/ical_file.h"

#include <libical/ical.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include "core/engine/clock_text.h"
#include "core/io/file_descriptor.h"
#include "core/io/file_problem.h"
#include "core/text/ascii_case.h"

namespace chimeon {
namespace {

// Components nested deeper than a calendar's own (VCALENDAR, VEVENT, VALARM, VTIMEZONE and its
// parts) are no calendar; libical would also free them by recursion.
constexpr int kMaxNesting = 8;

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct IteratorFree {
    void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};

bool StartsWithIgnoringCase(std::string_view line, std::string_view prefix) {
    return line.size() >= prefix.size() &&
           EqualsIgnoringCase(line.substr(0, prefix.size()), prefix);
}

// What the text's lines say before libical builds anything of it: how deep the components nest
// and how many events there are.
std::string ScanProblem(std::string_view text, const CalendarFileLimits& limits) {
    if (text.find('\0') != std::string_view::npos) {
        return "这不是iCalendar日历文件（.ics）！";
    }
    int depth = 0;
    size_t events = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (StartsWithIgnoringCase(line, "BEGIN:")) {
            if (++depth > kMaxNesting) {
                return "日历文件的组件嵌套太深：最多" + std::to_string(kMaxNesting) + "层！";
            }
            if (StartsWithIgnoringCase(line, "BEGIN:VEVENT") && ++events > limits.maxEvents) {
                return TooManyEventsProblem(limits);
            }
        } else if (StartsWithIgnoringCase(line, "END:")) {
            --depth;
        }
    }
    return {};
}

// True when the value names a real day and time: libical takes 2030-13-45 and rolls it over.
bool WellFormed(const icaltimetype& time) {
    return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= icaltime_days_in_month(time.month, time.year) && time.hour >= 0 &&
           time.hour <= 23 && time.minute >= 0 && time.minute <= 59 && time.second >= 0 &&
           time.second <= 60;
}

// The property's own value, as written, and whether there is one that is well formed.
bool HasWellFormed(icalcomponent* event, icalproperty_kind kind) {
    icalproperty* property = icalcomponent_get_first_property(event, kind);
    return property != nullptr &&
           WellFormed(icalproperty_get_datetime_with_component(property, event));
}

CalendarDate DateOf(const icaltimetype& time) {
    if (time.is_date || time.zone == nullptr) {
        return {time.year, time.month, time.day};  // a floating time is local as it stands
    }
    const std::time_t instant = icaltime_as_timet_with_zone(time, time.zone);
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) {
        return {time.year, time.month, time.day};
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::int64_t DayNumber(CalendarDate date) {
    return DaysFromCivil(date.year, date.month, date.day);
}

// How many days an event covers from its start: DTEND (or DURATION) is exclusive, so an
// all-day event and one that ends at midnight do not cover the end's date.
std::int64_t SpanDays(icalcomponent* event, const icaltimetype& start) {
    const icaltimetype end = icalcomponent_get_dtend(event);
    if (icaltime_is_null_time(end) || icaltime_compare(end, start) <= 0) {
        return 1;
    }
    std::int64_t days = DayNumber(DateOf(end)) - DayNumber(DateOf(start));
    const bool midnight = end.is_date || (end.hour == 0 && end.minute == 0 && end.second == 0);
    return std::max<std::int64_t>(1, midnight ? days : days + 1);
}

class EventReader {
public:
    EventReader(const CalendarFileLimits& limits, CalendarFileRead& read)
        : limits_(limits), read_(read) {}

    bool Read(icalcomponent* event, size_t number) {
        const char* summaryText = icalcomponent_get_summary(event);
        summary_ = summaryText != nullptr ? summaryText : "";
        const icaltimetype start = icalcomponent_get_dtstart(event);
        if (icaltime_is_null_time(start) || !HasWellFormed(event, ICAL_DTSTART_PROPERTY)) {
            return Fail("第" + std::to_string(number) + "个事件（“" + summary_ +
                        "”）没有可用的开始日期（DTSTART）！");
        }
        if (icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY) != nullptr &&
            !HasWellFormed(event, ICAL_DTEND_PROPERTY)) {
            return Fail("第" + std::to_string(number) + "个事件（“" + summary_ +
                        "”）的结束日期（DTEND）不是有效的日期！");
        }
        span_ = SpanDays(event, start);
        CollectExceptions(event);
        if (!IsExcluded(start) && !Add(start)) {
            return false;
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
             p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
            const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
            const icaltimetype at =
                icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
            if (!icaltime_is_null_time(at) && !IsExcluded(at) && !Add(at)) {
                return false;
            }
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
             p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
            if (!Expand(icalproperty_get_rrule(p), start)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Fail(std::string problem) {
        read_.problem = std::move(problem);
        return false;
    }

    void CollectExceptions(icalcomponent* event) {
        exceptions_.clear();
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
             p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
            exceptions_.push_back(icalproperty_get_datetime_with_component(p, event));
        }
    }

    bool IsExcluded(const icaltimetype& at) const {
        for (const icaltimetype& exception : exceptions_) {
            if (exception.is_date ? icaltime_compare_date_only(at, exception) == 0
                                  : icaltime_compare(at, exception) == 0) {
                return true;
            }
        }
        return false;
    }

    bool Add(const icaltimetype& at) {
        if (span_ > static_cast<std::int64_t>(limits_.maxDates - read_.days.size())) {
            return Fail(TooManyDatesProblem(limits_));
        }
        const CalendarDate first = DateOf(at);
        for (std::int64_t day = 0; day < span_; ++day) {
            const LocalDateTime date =
                DaysLater(CivilDay(first.year, first.month, first.day), static_cast<int>(day));
            read_.days.push_back({{date.year, date.month, date.day}, summary_});
        }
        return true;
    }

    // Every recurrence after the start, up to the last day the calendar stores.
    bool Expand(const icalrecurrencetype& rule, const icaltimetype& start) {
        // libical searches a rule's next match by itself, one period at a time: a rule of seconds
        // that never matches would search for ages. A calendar of days needs none finer than days.
        if (rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
            rule.freq == ICAL_HOURLY_RECURRENCE) {
            return Fail("事件“" + summary_ +
                        "”的重复规则（RRULE）短于一天：只能按天、周、月或年重复！");
        }
        std::unique_ptr<icalrecur_iterator, IteratorFree> iterator(
            icalrecur_iterator_new(rule, start));
        if (!iterator) {
            return Fail("事件“" + summary_ + "”的重复规则（RRULE）无法使用！");
        }
        for (size_t steps = 0;; ++steps) {
            if (steps >= limits_.maxRuleSteps) {
                return Fail(RuleTooLongProblem(limits_, summary_));
            }
            const icaltimetype next = icalrecur_iterator_next(iterator.get());
            if (icaltime_is_null_time(next) || next.year > kLastCalendarDate.year) {
                return true;
            }
            if (icaltime_compare(next, start) != 0 && !IsExcluded(next) && !Add(next)) {
                return false;
            }
        }
    }

    const CalendarFileLimits& limits_;
    CalendarFileRead& read_;
    std::string summary_;
    std::int64_t span_ = 1;
    std::vector<icaltimetype> exceptions_;
};

// The events of a calendar, of several calendars in one file, or the one event a file holds.
void CollectEvents(icalcomponent* component, std::vector<icalcomponent*>& events) {
    if (icalcomponent_isa(component) == ICAL_VEVENT_COMPONENT) {
        events.push_back(component);
        return;
    }
    for (icalcomponent* child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT);
         child != nullptr;
         child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(child);
        if (kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VCALENDAR_COMPONENT) {
            CollectEvents(child, events);
        }
    }
}

}  // namespace

CalendarFileRead ReadCalendarText(std::string_view text, const CalendarFileLimits& limits) {
    CalendarFileRead read;
    if (text.size() > limits.maxBytes) {
        read.problem = FileTooLargeProblem(limits);
        return read;
    }
    read.problem = ScanProblem(text, limits);
    if (!read.Ok()) {
        return read;
    }
    icalerror_set_errors_are_fatal(0);  // a bad value is reported in the tree, never aborts
    const std::string terminated(text);
    Component root(icalparser_parse_string(terminated.c_str()));
    std::vector<icalcomponent*> events;
    if (root) {
        CollectEvents(root.get(), events);
    }
    if (events.empty()) {
        read.problem = "日历文件中没有事件（VEVENT），或者它不是iCalendar日历文件（.ics）！";
        return read;
    }
    EventReader reader(limits, read);
    for (size_t i = 0; i < events.size(); ++i) {
        if (!reader.Read(events[i], i + 1)) {
            read.days.clear();
            return read;
        }
    }
    return read;
}

CalendarFileRead ReadCalendarFile(const std::filesystem::path& file,
                                  const CalendarFileLimits& limits) {
    CalendarFileRead read;
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (!error && size > limits.maxBytes) {
        read.problem = FileTooLargeProblem(limits);
        return read;
    }
    int problem = 0;
    const std::optional<std::string> bytes = ReadFileBytes(file, &problem);
    if (!bytes) {
        read.problem =
            "不能读取日历文件" + file.string() + "（" + ReadProblem(file, problem) + "）！";
        return read;
    }
    return ReadCalendarText(*bytes, limits);
}

std::string CalendarFileText(const std::vector<CalendarExportEvent>& events, std::int64_t stampUtc,
                             std::vector<CalendarDate>* unwritten) {
    Component calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT,
                                           icalproperty_new_version("2.0"),
                                           icalproperty_new_prodid("-//Chimeon//Holidays//ZH"),
                                           icalproperty_new_calscale("GREGORIAN"), nullptr));
    const icaltimetype stamp = icaltime_from_timet_with_zone(static_cast<std::time_t>(stampUtc), 0,
                                                             icaltimezone_get_utc_timezone());
    for (const CalendarExportEvent& event : events) {
        if (event.date.year > kLastWritableYear) {
            if (unwritten != nullptr) {
                unwritten->push_back(event.date);
            }
            continue;
        }
        icaltimetype day = icaltime_null_date();
        day.year = event.date.year;
        day.month = event.date.month;
        day.day = event.date.day;
        icaltimetype next = day;
        icaltime_adjust(&next, 1, 0, 0, 0);
        icalcomponent* vevent = icalcomponent_vanew(
            ICAL_VEVENT_COMPONENT, icalproperty_new_uid(event.uid.c_str()),
            icalproperty_new_dtstamp(stamp), icalproperty_new_dtstart(day),
            icalproperty_new_dtend(next), icalproperty_new_summary(event.summary.c_str()),
            icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT), nullptr);
        icalcomponent_add_component(calendar.get(), vevent);
    }
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    std::string out(text != nullptr ? text : "");
    std::free(text);
    return out;
}

}  // namespace chimeon
