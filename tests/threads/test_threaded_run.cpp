// A large cell calculated on the runner's worker, its search and kernel
// spread over the cores, and the same run cancelled half-way from outside;
// a long structure file read in two parts at once.
// The sanitizer script runs this under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../../bench/LargeCase.h"
#include "engine/CalculationRunner.h"
#include "engine/LargeArrays.h"
#include "io/XmlUtil.h"

using namespace pelmora;

namespace {

// Positions come from several worker threads at once; the farthest one and
// how many there were are all the test needs.
class CountingProgress final : public CalcProgress {
 public:
  void SetRange(int, int hi) override { hi_ = hi; }
  void SetPosition(int pos) override {
    ++posts;
    int seen = farthest.load();
    while (pos > seen && !farthest.compare_exchange_weak(seen, pos)) {
    }
  }
  void SetStatus(const std::string&) override { ++statuses; }
  std::atomic<int> posts{0}, farthest{-1}, statuses{0}, hi_{0};
};

// 2000 atoms in a 40 A cell, the range cut to keep the run short under the
// sanitizers while the search still spans thousands of groups.
void LargeCell(CKomorka& doc) {
  bench::BuildLargeCase(doc, 2000, 40.0);
  doc.experiment.angleMax = 45.0;
}

}  // namespace

TEST(ThreadedRun, LargeCellOnTheWorkerThenACancelKeepsItsResults) {
  // The threads hand their buffers' pages on to each other, as in the
  // command line.
  KeepPagesOfLargeBuffers(true);
  CKomorka doc;
  LargeCell(doc);
  std::atomic<bool> cancel{true};  // the runner must clear it
  CountingProgress progress;
  std::atomic<int> finishedResult{99}, finishedCalls{0};
  CalculationRunner runner;
  runner.Start(doc, progress, cancel, [&](int result, bool cancelled) {
    finishedResult = cancelled ? -2 : result;
    ++finishedCalls;
  });
  ASSERT_EQ(runner.Finish(), CalcOutcome::Ok);
  ASSERT_EQ(finishedCalls.load(), 1);
  ASSERT_EQ(finishedResult.load(), 0);
  ASSERT_GT(progress.posts.load(), 0);
  const std::vector<Reflection> first = doc.results.reflectionsAll;
  ASSERT_GT(first.size(), 2000u);
  // Every hundredth group against the plain sum over all 2000 atoms.
  for (size_t i = 0; i < first.size(); i += 100) {
    const Reflection& r = first[i];
    double re = 0, im = 0;
    const double f2 = doc.StructureFactor(r.h, r.k, r.l, r.theta, doc.experiment.lambda1, re, im);
    ASSERT_NEAR(r.f2, f2, 1e-9 * std::max(1.0, f2)) << r.h << " " << r.k << " " << r.l;
  }

  // Again, with a wider range so that it runs long enough to be stopped,
  // cancelled from this thread as soon as the search posts progress.
  doc.experiment.angleMax = 150.0;
  CountingProgress second;
  runner.Start(doc, second, cancel, [&](int result, bool) {
    finishedResult = result;
    ++finishedCalls;
  });
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (second.posts.load() == 0 && runner.Running() && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  runner.Cancel();
  EXPECT_EQ(runner.Finish(), CalcOutcome::Cancel);
  EXPECT_EQ(finishedCalls.load(), 2);
  EXPECT_EQ(finishedResult.load(), -1);
  // Neither run leaves pages kept; the first run's list stands untouched.
  EXPECT_EQ(KeptPagesBytes(), 0u);
  ASSERT_EQ(doc.results.reflectionsAll.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i) {
    ASSERT_EQ(doc.results.reflectionsAll[i].intensity, first[i].intensity) << i;
    ASSERT_EQ(doc.results.reflectionsAll[i].h, first[i].h) << i;
  }
}

// Memory that runs out ends the run with a message, not the program: the
// search's threads hand the failure to the runner, and the document keeps
// the results it had. In a child process whose address space is capped a
// little above what it holds; the sanitizers' reserved shadow needs more.
TEST(ThreadedRun, MemoryRunningOutEndsTheRunNotTheProgram) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a capped address space leaves the sanitizers no room";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "a capped address space leaves the sanitizers no room";
#endif
#endif
  CKomorka doc;
  LargeCell(doc);
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const size_t before = doc.results.reflectionsAll.size();
  // Some 1.8 million reflections: hundreds of megabytes of groups and list.
  bench::BuildLargeCase(doc, 2000, 60.0);
  doc.experiment.angleMax = 150.0;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Exit codes: 0 as expected; 1 not failed; 2 no message; 3 results lost.
    rlimit cap{};
    std::ifstream status("/proc/self/status");
    long vmKb = 0;
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmSize:", 0) == 0) vmKb = std::stol(line.substr(7));
    cap.rlim_cur = cap.rlim_max = static_cast<rlim_t>(vmKb + 64 * 1024) * 1024;
    if (vmKb == 0 || setrlimit(RLIMIT_AS, &cap) != 0) _exit(9);
    std::atomic<bool> cancel{false};
    CalculationRunner runner;
    int result = 99;
    runner.Start(doc, none, cancel, [&](int r, bool) { result = r; });
    const CalcOutcome outcome = runner.Finish();
    if (outcome != CalcOutcome::Failed || result != -1) _exit(1);
    if (runner.Failure().empty()) _exit(2);
    _exit(doc.results.reflectionsAll.size() == before ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The atoms of the second half are read on a thread of their own while the
// first half's are read here.
TEST(ThreadedRun, LongFileReadInTwoParts) {
  std::string text = "<?xml version=\"1.0\"?>\n<pelmora>\n<baza>\n";
  for (int i = 0; i < 4000; ++i) text += "<atom nr=\"" + std::to_string(i) + "\"><x>0.5</x><y>0.25</y></atom>\n";
  text += "<a>40</a>\n</baza>\n</pelmora>\n";
  std::vector<int> first, second;
  size_t firstCount = 0;
  const auto into = [](std::vector<int>& out) {
    return [&out](const xmlNode* n, size_t place) {
      if (place >= out.size()) out.resize(place + 1);
      out[place] = std::stoi(AttributeText(n, "nr").value_or("-1"));
    };
  };
  const StreamedElements streamed{{"baza", "atom"}, into(first), into(second), [&](size_t n) { firstCount = n; }};
  ASSERT_GE(text.size(), streamed.twoPartsFrom);
  const XmlDocPtr doc = ParseXmlBytes(text, &streamed);
  ASSERT_TRUE(doc);
  ASSERT_GT(firstCount, 0u);
  first.resize(firstCount);
  first.insert(first.end(), second.begin(), second.end());
  ASSERT_EQ(first.size(), 4000u);
  for (int i = 0; i < 4000; ++i) ASSERT_EQ(first[static_cast<size_t>(i)], i);
}
