// One main for every benchmark: some measure the window's tabs, so a
// QApplication (offscreen) exists for the whole run.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <memory>
#include <benchmark/benchmark.h>

namespace {

// The reporter the flags choose, noting every run that ended in an error, so
// that a benchmark that could not measure fails the program.
class ErrorNotingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return shown_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            errors_ += run.error_occurred ? 1 : 0;
        shown_->ReportRuns(runs);
    }
    void Finalize() override { shown_->Finalize(); }
    int errors() const { return errors_; }

private:
    std::unique_ptr<benchmark::BenchmarkReporter> shown_{benchmark::CreateDefaultDisplayReporter()};
    int errors_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ErrorNotingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.errors() > 0) {
        std::fprintf(stderr, "%d benchmark run(s) reported an error\n", reporter.errors());
        return 1;
    }
    return 0;
}
