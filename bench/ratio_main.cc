// Runs the benchmarks, then prints each one's time as a ratio to the
// baseline of its family measured in the same run. A benchmark names its
// baseline with the label "baseline:<family>" and its followers with
// "family:<family>", or "family:<one>+<other>" for a ratio to each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double seconds = run.GetAdjustedRealTime();
      const std::string& label = run.report_label;
      if (label.rfind("baseline:", 0) == 0) {
        baselines_[label.substr(9)] = seconds;
      } else if (label.rfind("family:", 0) == 0) {
        for (size_t at = 7; at <= label.size();) {
          size_t end = label.find('+', at);
          if (end == std::string::npos) end = label.size();
          followers_.push_back({run.benchmark_name(), label.substr(at, end - at), seconds});
          at = end + 1;
        }
      }
    }
  }

  void PrintRatios() const {
    if (followers_.empty()) return;
    std::printf("\nRatios to the baseline of the same run (lower is faster):\n");
    for (const Follower& f : followers_) {
      const auto base = baselines_.find(f.family);
      if (base == baselines_.end() || base->second <= 0) continue;
      std::printf("  %-50s %6.2fx %s\n", f.name.c_str(), f.seconds / base->second,
                  f.family.c_str());
    }
  }

 private:
  struct Follower {
    std::string name;
    std::string family;
    double seconds;
  };
  std::map<std::string, double> baselines_;
  std::vector<Follower> followers_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
