#pragma once
// A component with an archive directory, an output directory and every event recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/ui/Application.h>
#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"

class Extraction : public ::testing::Test {
 protected:
  struct Report {
    std::string Event;
    varn::TlzhFileStats Stats;
  };

  testing_support::TempDir Dir;
  varn::TVarnCompress C;
  std::vector<Report> Reports;

  void SetUp() override {
    // The process's application object pumps (its toolkit's queue stays out of it).
    varn::Application().MessagePump = [] {};
    C.ExtractDirectory = Dir / "out";
    C.OnBeforeExtracting = Recorder("before");
    C.OnStatus = [this](varn::TVarnCompress&, const varn::TlzhFileStats& S) {
      Reports.push_back({S.FileDone ? "done" : "status", S});
    };
    C.OnAfterExtracting = Recorder("after");
    C.OnReplace = Recorder("replace");
    C.OnAborted = [this](varn::TComponent&) { Reports.push_back({"aborted", {}}); };
  }
  void TearDown() override {
    varn::Application().MessagePump = [] {};
  }

  varn::TlzhFileStatsEvent Recorder(const std::string& Event) {
    return [this, Event](varn::TVarnCompress&, const varn::TlzhFileStats& S) {
      Reports.push_back({Event, S});
    };
  }

  // Writes the archive as Dir\setup.N (removing volumes of an earlier one) and loads its
  // catalogue. After an extraction CompressedFile names the last volume read, and setting the
  // same archive again would keep that name: another name comes in between.
  std::vector<varn::TFileHeaderRecord> Archive(const std::vector<hand_laid::Entry>& Entries,
                                               int64_t VolumeSize = 0) {
    for (int N = 1; testing_support::Exists(Dir / ("setup." + std::to_string(N))); ++N)
      std::filesystem::remove(testing_support::Native(Dir / ("setup." + std::to_string(N))));
    auto Headers = hand_laid::Write(Dir / "setup", Entries, VolumeSize);
    C.SetCompressedFile(Dir / "none.1");
    C.SetCompressedFile(Dir / "setup.1");
    C.ReadHeaders();
    return Headers;
  }

  void Select(const std::vector<std::string>& Names) {
    for (const auto& N : Names)
      C.FilesToProcess().push_back(N);
  }

  std::string Out(const std::string& Name) const { return Dir.Path() + "\\out\\" + Name; }
  std::string Read(const std::string& Name) const { return testing_support::ReadFile(Out(Name)); }

  // The events in order, as "event:file".
  std::vector<std::string> Sequence() const {
    std::vector<std::string> Result;
    for (const auto& R : Reports)
      Result.push_back(R.Event + ":" + R.Stats.FileName);
    return Result;
  }
  std::vector<varn::TlzhFileStats> Reported(const std::string& Event) const {
    std::vector<varn::TlzhFileStats> Result;
    for (const auto& R : Reports)
      if (R.Event == Event) Result.push_back(R.Stats);
    return Result;
  }
};
