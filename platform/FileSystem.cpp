#include "platform/FileSystem.h"

namespace palomix {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// 1899-12-30, day 0 of a DateTime, counted from 1970-01-01.
constexpr long long kDateTimeEpochFromUnix = -25569;

}  // namespace

bool CreateFolderTree(const std::string& path) {
    try {
        return !MakeFolderTree(path);
    } catch (...) {
        return false;  // no room for a prefix of the path: no folder
    }
}

std::optional<DateTime> DosDateTimeOf(int year, int month, int day, int hour, int minute,
                                      int second) {
    // A DOS date keeps the year as an offset from 1980 in 7 bits.
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return std::nullopt;
    }
    const int evenSecond = second - second % 2;  // two-second resolution
    const long long days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kDateTimeEpochFromUnix;
    const double timeOfDay = (hour * 3600 + minute * 60 + evenSecond) / 86400.0;
    return static_cast<double>(days) + timeOfDay;
}

}  // namespace palomix
