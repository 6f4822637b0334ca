// Messages, choices and the message window.
#include "scenario/interp/adv_interp_internal.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"

using namespace v4fmt;

namespace adv_interp {

// The voice handed to the last shown message; the backlog entry of that message takes it.
namespace {
AdvVoiceRecord g_messageVoice;
}  // namespace

Flow Interp::Talk(bool newPage) {
  uint32_t message = r_.U32();
  uint32_t readId = r_.U32();
  const char* speaker = r_.Str();
  uint8_t n = r_.U8();
  std::vector<ScriptTextRecord> records;
  records.reserve(n);
  for (uint32_t i = 0; i < n && r_.ok; ++i) {
    ScriptTextRecord rec;
    rec.text = r_.Str();
    rec.text2 = r_.Str();
    rec.a = r_.U8();
    rec.b = r_.U8();
    rec.c = r_.U32();
    rec.d = static_cast<int32_t>(r_.U32());
    records.push_back(std::move(rec));
  }
  if (!r_.ok) return Flow::kNext;
  if (newPage) s_.MarkSavePoint(message < kMessageCount ? message : 0);
  s_.messageId = readId;
  AdvPresenter* p = EnsureAdvPresenter();
  if (p) p->SetMessage(static_cast<int32_t>(readId), speaker, records, newPage);
  if (s_.voicePending) {
    AdvSvc().ApplyVoiceVolume(s_.pendingVoice.number);
    // Without a scene nothing shows the message, so its voice is not played either.
    if (p && !p->IsSkip() && !p->IsFastForward()) AdvSvc().PlayVoice(s_.pendingVoice.fileName, s_.pendingVoice.param);
    if (p) p->SetBacklogVoice(s_.pendingVoice.fileName, s_.pendingVoice.number, s_.pendingVoice.param);
    g_messageVoice = s_.pendingVoice;
    s_.voicePending = 0;
  } else if (newPage) {
    g_messageVoice = AdvVoiceRecord{};
  }
  return Flow::kNext;
}

Flow Interp::TalkEnd() {
  AdvSvc().ClearChannelFileName(2);
  s_.SetMessageRead(s_.messageId);
  if (AdvPresenter* p = EnsureAdvPresenter()) {
    std::string speaker, text;
    if (p->TakeFinishedMessage(speaker, text)) {
      s_.AddBacklogEntry(speaker.c_str(), text.c_str(), g_messageVoice.fileName, g_messageVoice.number,
                         g_messageVoice.param);
    }
  }
  g_messageVoice = AdvVoiceRecord{};
  s_.pendingVoice = AdvVoiceRecord{};
  s_.voicePending = 0;
  return Flow::kNext;
}

Flow Interp::Select() {
  r_.U32();  // read and ignored
  uint8_t n = r_.U8();
  std::vector<uint32_t> labels;
  if (!List32(n, labels)) return Flow::kNext;
  std::vector<AdvChoice> choices(n);
  for (uint32_t i = 0; i < n && r_.ok; ++i) {
    choices[i].label = static_cast<int32_t>(labels[i]);
    choices[i].text = r_.Str();
  }
  if (!r_.ok) return Flow::kNext;
  if (AdvPresenter* p = EnsureAdvPresenter()) {
    p->SetAuto(false);
    p->SetSkip(false);
    p->SetFastForward(false);
    p->SetChoices(choices);
  }
  return Flow::kNext;
}

std::optional<Flow> Interp::Message(unsigned op) {
  switch (op) {
    case kOpTalkStart:
    case kOpTalkStartAdd:
      Talk(op == kOpTalkStart);
      break;
    case kOpTalkEnd:
      TalkEnd();
      break;
    case kOpSelect:
      Select();
      break;
    case kOpSelectEnd: {
      AdvPresenter* p = GetAdvPresenter();
      JumpLabel(p ? static_cast<uint32_t>(p->GetChosenLabel()) : 0u);
      return Yield();
    }
    case kOpSkipOff:
      if (AdvPresenter* p = EnsureAdvPresenter()) {
        p->SetSkip(false);
        p->SetFastForward(false);
      }
      break;
    case kOpMessageOFF:
      if (AdvPresenter* p = EnsureAdvPresenter()) p->ShowWindow(false);
      break;
    case kOpTalkClear:
      if (AdvPresenter* p = EnsureAdvPresenter()) p->TalkClear();
      break;
    case kOpOnlyNextCom: {
      int32_t on = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SetOnlyNextCommand(on != 0);
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
