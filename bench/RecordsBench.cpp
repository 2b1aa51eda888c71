// bench_records: a test-mode day of log rows (five a second, 432,000 rows) into the basic and
// the computed list, both day files written, then reloaded.
//
//   bench_records [ROWS]
//
// Last line: records append_ns_per_row A write_s W reload_s R bytes_per_text_byte B
#include "FakeUserNotifier.h"
#include "config/Settings.h"
#include "core/ComputedValues.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "core/NumberText.h"
#include "records/LogBook.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

double secondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 432'000;

    QTemporaryDir folder;
    const QDate day(2026, 6, 1);
    ManualClock clock{QDateTime(day, QTime(0, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    TDati settings{day};
    ComputedValues values;
    fakes::FakeUserNotifier person;
    LogBook book{folder.path().toStdString(), settings, values, memo, formats, person};
    book.StartUp(day);

    // Rows as test mode makes them: changing values of realistic widths.
    std::vector<VAR> basic(64);
    std::vector<VAR_COMP> computed(64);
    size_t textBytes = 0;
    for (size_t i = 0; i < basic.size(); ++i) {
        basic[i] = {"12:34:56", "06/01/26", {}};
        computed[i] = {"12:34:56", "06/01/26", {}};
        const int v = static_cast<int>(i);
        basic[i].Values = {std::to_string(200 + v % 40), std::to_string(40 + v % 15), std::to_string(40 + v % 35),
                           std::to_string(v % 40), std::to_string(44 + v % 11) + "[" + std::to_string(44 + v % 11) + "]",
                           std::to_string(v % 100), std::to_string(v % 20), std::to_string(v % 100),
                           std::to_string(40 + v % 15), std::to_string(200 + v % 40), std::to_string(v * 61 % 4000),
                           std::to_string(v * 37 % 4000), std::to_string(v % 100), std::to_string(30 + v % 30),
                           std::to_string(380 + v % 30)};
        for (size_t a = 0; a < computed[i].Values.size(); ++a)
            computed[i].Values[a] = FormatFixed3(12.345 * static_cast<double>(i + a));
    }
    auto textOf = [](const auto& row) {
        size_t bytes = row.Time.size();
        for (const auto& value : row.Values)
            bytes += value.size();
        return bytes;
    };

    auto start = SteadyClock::now();
    for (size_t i = 0; i < rows; ++i) {
        const VAR& b = basic[i % basic.size()];
        const VAR_COMP& c = computed[i % computed.size()];
        book.BasicList().AddRow(b);
        book.ComputedList().AddRow(c);
        textBytes += textOf(b) + textOf(c);
    }
    const double appendSeconds = secondsSince(start);
    const double appendNsPerRow = appendSeconds * 1e9 / static_cast<double>(2 * rows);
    const double bytesPerTextByte =
        static_cast<double>(book.BasicList().BytesHeld() + book.ComputedList().BytesHeld()) / static_cast<double>(textBytes);

    start = SteadyClock::now();
    book.WriteBasicLog(day);
    book.WriteComputedLog(day);
    const double writeSeconds = secondsSince(start);

    start = SteadyClock::now();
    const bool reloaded = book.ReloadBasicList() && book.ReloadComputedList();
    const double reloadSeconds = secondsSince(start);
    if (!reloaded || book.BasicList().FileText().size() < rows) {
        std::fprintf(stderr, "reload failed\n");
        return 1;
    }

    std::printf("rows %zu per list; append %.3f s (%.0f ns a row); write both %.3f s; reload both %.3f s\n", rows,
                appendSeconds, appendNsPerRow, writeSeconds, reloadSeconds);
    std::printf("lists hold %zu bytes for %zu bytes of row text\n",
                book.BasicList().BytesHeld() + book.ComputedList().BytesHeld(), textBytes);
    std::printf("records append_ns_per_row %.0f write_s %.3f reload_s %.3f bytes_per_text_byte %.2f\n", appendNsPerRow,
                writeSeconds, reloadSeconds, bytesPerTextByte);
    return 0;
}
