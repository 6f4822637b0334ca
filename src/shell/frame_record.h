// The frame record: per scene, the logic steps that were due (timer periods that passed) and the
// ones that ran, and the frame time (one timer callback: logic step and display) as median, 95th
// and 99th percentile. The frame thread adds to it; the log gets it at exit, the debug window
// while it is open. A scene keeps its pace when every due step ran (pace 100 %).
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct FrameRecordRow {
  int32_t scene = -1;
  uint64_t due = 0, run = 0, frames = 0, drawn = 0;
  double medianMs = 0, p95Ms = 0, p99Ms = 0, worstMs = 0;
  double Pace() const { return due ? 100.0 * static_cast<double>(run) / static_cast<double>(due) : 100.0; }
};

class FrameRecord {
 public:
  // One timer callback that ran a frame: the scene it ran in, the steps due since the callback
  // before (1 unless ticks merged), whether a logic step ran, whether a picture was presented, and
  // how long it took.
  void Add(int32_t scene, uint32_t dueSteps, bool ran, bool drawn, double ms);
  // Scenes in the order they were first met.
  std::vector<FrameRecordRow> Rows() const;
  // One line per scene: "frame record: <name> (<id>): pace 98.7 % (812 of 823 steps), frames 823
  // (drawn 40), ms median 3.21 p95 5.02 p99 8.40 worst 12.0".
  std::vector<std::string> Lines() const;
  void Clear();

  // Samples kept per scene for the percentiles (the latest ones).
  static constexpr size_t kSamples = 1 << 16;

 private:
  struct Scene {
    FrameRecordRow row;
    std::vector<float> samples;
    size_t next = 0;  // where the next sample goes once full
  };
  mutable std::mutex mutex_;
  std::map<int32_t, Scene> scenes_;
  std::vector<int32_t> order_;
};

FrameRecord& GetFrameRecord();
// The scene's name in the record ("title", "story", "map", "battle", ...; "scene" otherwise).
const char* FrameRecordSceneName(int32_t scene);
