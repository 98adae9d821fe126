// Every benchmark program runs inside a real application object, on the offscreen platform
// unless another one is asked for, so widgets, fonts and the event loop behave as in the client.
// A benchmark that reports an error (wrong result, missing service) makes the program exit
// with 1, so a smoke run fails visibly.
#include "platform/AppMessage.h"
#include "commands/CommandTable.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

class ErrorCountingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.error_occurred)
                ++errors;
        ConsoleReporter::ReportRuns(runs);
    }
    int errors = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A message box would wait for a click that never comes; messages go to stderr instead.
    SetMessageSink(StderrMessageSink);
    RegisterCommandFamilies();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ErrorCountingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.errors == 0 ? 0 : 1;
}
