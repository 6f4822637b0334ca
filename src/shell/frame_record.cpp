#include "shell/frame_record.h"

#include <algorithm>
#include <cstdio>

void FrameRecord::Add(int32_t scene, uint32_t dueSteps, bool ran, bool drawn, double ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto [it, fresh] = scenes_.try_emplace(scene);
  if (fresh) order_.push_back(scene);
  Scene& s = it->second;
  s.row.scene = scene;
  s.row.due += dueSteps;
  s.row.run += ran ? 1 : 0;
  s.row.frames += 1;
  s.row.drawn += drawn ? 1 : 0;
  s.row.worstMs = std::max(s.row.worstMs, ms);
  if (s.samples.size() < kSamples) {
    s.samples.push_back(static_cast<float>(ms));
  } else {
    s.samples[s.next] = static_cast<float>(ms);
    s.next = (s.next + 1) % kSamples;
  }
}

namespace {
// The nearest-rank percentile of sorted samples.
double Percentile(const std::vector<float>& sorted, double p) {
  if (sorted.empty()) return 0.0;
  size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(sorted.size()) + 0.999999);
  rank = std::clamp<size_t>(rank, 1, sorted.size());
  return sorted[rank - 1];
}
}  // namespace

std::vector<FrameRecordRow> FrameRecord::Rows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<FrameRecordRow> rows;
  for (int32_t id : order_) {
    const Scene& s = scenes_.at(id);
    FrameRecordRow row = s.row;
    std::vector<float> sorted = s.samples;
    std::sort(sorted.begin(), sorted.end());
    row.medianMs = Percentile(sorted, 50);
    row.p95Ms = Percentile(sorted, 95);
    row.p99Ms = Percentile(sorted, 99);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> FrameRecord::Lines() const {
  std::vector<std::string> lines;
  for (const FrameRecordRow& r : Rows()) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "frame record: %s (%d): pace %.1f %% (%llu of %llu steps), frames %llu (drawn %llu), ms median "
                  "%.2f p95 %.2f p99 %.2f worst %.1f",
                  FrameRecordSceneName(r.scene), r.scene, r.Pace(), static_cast<unsigned long long>(r.run),
                  static_cast<unsigned long long>(r.due), static_cast<unsigned long long>(r.frames),
                  static_cast<unsigned long long>(r.drawn), r.medianMs, r.p95Ms, r.p99Ms, r.worstMs);
    lines.emplace_back(buf);
  }
  return lines;
}

void FrameRecord::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  scenes_.clear();
  order_.clear();
}

FrameRecord& GetFrameRecord() {
  static FrameRecord record;
  return record;
}

const char* FrameRecordSceneName(int32_t scene) {
  switch (scene) {
    case 1:
      return "title";
    case 2:
      return "story";
    case 3:
      return "map";
    case 4:
      return "save";
    case 5:
      return "load";
    case 6:
      return "settings";
    case 7:
      return "extras";
    case 8:
      return "battle";
    case 12:
      return "tutorial";
    default:
      return scene < 0 ? "none" : "scene";
  }
}
