#pragma once
// varn extract on more threads than one. The selection is cut, in its order, into runs of about
// equal size. The caller's component extracts the first run as always; each other run is
// extracted at once, on a thread of its own, by a component of its own, into temporary files
// that take their targets' places only when the caller comes to them, in the order of the
// selection. A run that fails on its thread, at whatever file and for whatever reason, says
// nothing: the caller extracts from that file on itself, so that the failure, and everything
// else the user sees and finds on disk, is what one thread would have given.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <varn/archive/cmp_TVarnCompress.h>

namespace varn::cli {

class ExtractAhead {
 public:
  // A file extracted ahead and handed over.
  struct File {
    std::string Name;    // in the catalogue
    std::string Target;  // program's form
    bool Existed = false, Replaced = false;
    bool Written = false;  // false: the existing target was kept, as Overwrite says
    int32_t CompressedSize = 0;
  };

  // The threads, about equally busy, that pay for Main's selection; fewer than two when none
  // does (a small selection, or one that writes a target twice, whose order then counts).
  static int Runs(TVarnCompress& Main, int Threads);

  // Leaves the first of Runs runs in Main.FilesToProcess() and starts the others, each on a
  // component that Configure sets up (its volume handler, never asking) and that takes Main's
  // archive, directory and Overwrite, with the seal checked and SafeReplace.
  ExtractAhead(TVarnCompress& Main, int Runs, std::function<void(TVarnCompress&)> Configure);
  // Stops and waits for the threads, and removes every file they wrote that was not handed over.
  ~ExtractAhead();
  ExtractAhead(const ExtractAhead&) = delete;
  ExtractAhead& operator=(const ExtractAhead&) = delete;

  // The compressed bytes that the threads are done with and that were not handed over yet.
  int64_t BytesAhead() const { return FBytesAhead.load(std::memory_order_relaxed); }

  // After Main's run went well: puts the files of the other runs in their targets' places, in
  // order, calling Each after each one; calls Waiting about ten times a second while a run is
  // still busy. Returns the entries still to extract, from the first that was not extracted
  // ahead on, or not put in place because an interrupt came (empty when all were): the caller
  // extracts them itself, or stops.
  std::vector<std::string> HandOver(const std::function<void(const File&)>& Each,
                                    const std::function<void()>& Waiting);

 private:
  struct Run;
  void Extract(Run& R);
  void Stop();

  TVarnCompress& FMain;
  std::function<void(TVarnCompress&)> FConfigure;
  std::vector<std::unique_ptr<Run>> FRuns;
  std::atomic<bool> FStop = false;
  std::atomic<int64_t> FBytesAhead = 0;
  std::mutex FLock;
  std::condition_variable FChanged;
};

}  // namespace varn::cli
