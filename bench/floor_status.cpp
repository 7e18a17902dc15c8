// Floor of the status refresh (StatusPage.h), RUNS times in one process.
// Prints "time_us: N fetch_us: M" per run.
#include "StatusPage.h"

using floors::Fetch;
using floors::Parse;

int main(int argc, char** argv) {
    floors::Options options;
    if (!floors::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: floor_status SERVER USER PASSWORD RUNS\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    int exitCode = 0;
    {
        floors::Session session(options);
        const std::string auth = floors::BasicHeader(options);
        for (int run = -1; run < options.runs && exitCode == 0; ++run) {  // run -1 warms up
            long long start = floors::Microseconds();
            std::string page;
            if (!session.connection || !Fetch(session.connection, auth, page)) {
                exitCode = 1;
                break;
            }
            long long fetched = floors::Microseconds();
            long fields = Parse(page);
            long long done = floors::Microseconds();
            if (fields <= 0) exitCode = 1;
            if (run >= 0)
                std::printf("time_us: %lld fetch_us: %lld bytes: %zu fields: %ld\n", done - start, fetched - start,
                            page.size(), fields);
        }
        if (exitCode) std::fprintf(stderr, "floor_status: fetch or parse failed\n");
    }
    floors::ReportMemory();
    ::CoUninitialize();
    return exitCode;
}
