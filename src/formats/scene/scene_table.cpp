#include "formats/scene/scene_table.h"

#include <algorithm>
#include <cstring>
#include "platform/byte_order.h"

namespace v4fmt {

namespace {

int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(le::Get16(p)); }
void PutI16(uint8_t* p, int32_t v) { le::Put16(p, static_cast<uint16_t>(v)); }
bool FitsI16(int v) { return v >= -32768 && v <= 32767; }

}  // namespace

void ReadSceneRecord(const uint8_t* bytes, SceneFlowRecord& record) {
  record.sceneId = GetI16(bytes);
  record.resident = static_cast<uint16_t>(GetI16(bytes + 2));
  for (int e = 0; e < kSceneMenuEntries; ++e) {
    const uint8_t* p = bytes + kSceneMenuOffset + kSceneMenuEntryBytes * e;
    record.menus[e].menuType = GetI16(p);
    std::memcpy(record.menus[e].layoutName, p + 2, kSceneLayoutNameBytes);
    record.menus[e].layoutName[kSceneLayoutNameBytes - 1] = '\0';
  }
  for (int t = 0; t < kSceneTransitions; ++t) {
    const uint8_t* p = bytes + kSceneTransitionOffset + kSceneTransitionBytes * t;
    record.transitions[t] = {GetI16(p), GetI16(p + 2), GetI16(p + 4)};
  }
}

void WriteSceneRecord(const SceneFlowRecord& record, uint8_t* bytes) {
  std::memset(bytes, 0, kSceneRecordBytes);
  PutI16(bytes, record.sceneId);
  PutI16(bytes + 2, record.resident);
  for (int e = 0; e < kSceneMenuEntries; ++e) {
    uint8_t* p = bytes + kSceneMenuOffset + kSceneMenuEntryBytes * e;
    PutI16(p, record.menus[e].menuType);
    const size_t n = strnlen(record.menus[e].layoutName, kSceneLayoutNameBytes - 1);
    std::memcpy(p + 2, record.menus[e].layoutName, n);
  }
  for (int t = 0; t < kSceneTransitions; ++t) {
    uint8_t* p = bytes + kSceneTransitionOffset + kSceneTransitionBytes * t;
    PutI16(p, record.transitions[t].result);
    PutI16(p + 2, record.transitions[t].nextScene);
    PutI16(p + 4, record.transitions[t].pushMode);
  }
}

bool ReadSceneTable(const uint8_t* bytes, size_t size, SceneFlowTable& table, std::string* error) {
  table = SceneFlowTable{};
  auto fail = [&](const std::string& why) {
    table = SceneFlowTable{};
    if (error) *error = why;
    return false;
  };
  if (!bytes || size != kSceneTableBytes) {
    return fail("size " + std::to_string(size) + ", a table is " + std::to_string(kSceneTableBytes) + " bytes");
  }
  for (int r = 0; r < kSceneRecordCount; ++r) {
    SceneFlowRecord& rec = table[r];
    ReadSceneRecord(bytes + kSceneRecordBytes * r, rec);
    if (rec.sceneId < 0 || rec.sceneId >= kSceneRecordCount) {
      return fail("record " + std::to_string(r) + " names scene " + std::to_string(rec.sceneId));
    }
    for (const SceneTransition& t : rec.transitions) {
      if (t.result != -1 && (t.nextScene < -1 || t.nextScene >= kSceneRecordCount)) {
        return fail("record " + std::to_string(r) + " changes to scene " + std::to_string(t.nextScene));
      }
    }
  }
  return true;
}

std::vector<uint8_t> WriteSceneTable(const SceneFlowTable& table) {
  std::vector<uint8_t> out(kSceneTableBytes);
  for (int r = 0; r < kSceneRecordCount; ++r) WriteSceneRecord(table[r], out.data() + kSceneRecordBytes * r);
  return out;
}

bool IsKnownSceneMenuType(int type) {
  switch (type) {
    case 10:
    case 80:
    case 100:
    case 120:
    case 10000:
    case 20:
    case 30:
    case 60:
    case 70:
    case 81:
    case 82:
    case 83:
    case 84:
    case 90:
    case 110:
      return true;
    default:
      return type >= 31 && type <= 46;
  }
}

bool BuildSceneTable(const std::vector<SceneSource>& scenes, SceneFlowTable& table, std::string& error) {
  table = SceneFlowTable{};
  bool used[kSceneRecordCount] = {};
  for (const SceneSource& s : scenes) {
    const std::string where = "scene " + std::to_string(s.id);
    if (s.id < 1 || s.id > 100) {
      error = where + ": id outside 1..100";
      return false;
    }
    if (used[s.id]) {
      error = where + ": duplicate id";
      return false;
    }
    used[s.id] = true;
    SceneFlowRecord& r = table[s.id];
    r.sceneId = static_cast<int16_t>(s.id);
    r.resident = s.resident ? 1 : 0;
    for (SceneTransition& t : r.transitions) t = {-1, 0, 0};  // -1 is never looked up
    bool entryUsed[kSceneMenuEntries] = {};
    for (const SceneMenuSource& m : s.menus) {
      const std::string mw = where + " menu " + std::to_string(m.entry);
      if (m.entry < 0 || m.entry >= kSceneMenuEntries || entryUsed[m.entry]) {
        error = mw + ": entry outside 0..21 or used twice";
        return false;
      }
      entryUsed[m.entry] = true;
      if (!IsKnownSceneMenuType(m.menuType)) {
        error = mw + ": unknown menu type " + std::to_string(m.menuType);
        return false;
      }
      if (m.layoutName.empty() || m.layoutName.size() >= kSceneLayoutNameBytes) {
        error = mw + ": layout name must be 1..63 bytes";
        return false;
      }
      if (m.layoutName.find('\0') != std::string::npos || m.layoutName.find('.') == std::string::npos) {
        error = mw + ": layout name needs an extension and no NUL byte";
        return false;
      }
      r.menus[m.entry].menuType = static_cast<int16_t>(m.menuType);
      std::memcpy(r.menus[m.entry].layoutName, m.layoutName.c_str(), m.layoutName.size() + 1);
    }
    if (s.transitions.size() > static_cast<size_t>(kSceneTransitions)) {
      error = where + ": more than 8 transitions";
      return false;
    }
    for (size_t t = 0; t < s.transitions.size(); ++t) {
      const SceneTransitionSource& src = s.transitions[t];
      if (!FitsI16(src.result) || !FitsI16(src.nextScene) || !FitsI16(src.pushMode)) {
        error = where + ": transition value outside 16 bits";
        return false;
      }
      r.transitions[t] = {static_cast<int16_t>(src.result), static_cast<int16_t>(src.nextScene),
                          static_cast<int16_t>(src.pushMode)};
    }
  }
  return true;
}

}  // namespace v4fmt
