// The editor's requests and their answers; JSON read with the timeline files' reader.
#include "edit/editor_api.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/timeline_file.h"
#include "platform/window.h"
#include "timeline/easing.h"
#include "timeline/writer.h"

namespace {

constexpr uint32_t kEasingShapeSamples = 48;

const char* typeName(TrackType type) {
  return type == TrackType::FLOAT ? "FLOAT" : type == TrackType::FLOAT3 ? "FLOAT3" : "UINT";
}

uint32_t componentCount(TrackType type) { return type == TrackType::FLOAT3 ? 3 : 1; }

EditorResponse json(int status, std::string body) {
  EditorResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

EditorResponse refusal(int status, const std::string& message) {
  std::string body = "{\"ok\":false,\"message\":";
  appendJsonString(body, message);
  return json(status, body + "}");
}

const JsonFileValue* memberOf(const JsonFileValue& object, const char* name) {
  for (const JsonFileMember& member : object.members)
    if (member.name == name) return &member.value;
  return nullptr;
}

// The body as a JSON object, or false with the answer to give.
bool readBody(const EditorRequest& request, JsonFileValue* body, EditorResponse* failure) {
  TextError error;
  if (!readStandardJson(request.body.data(), request.body.size(), body, &error)) {
    *failure = refusal(400, "the request is not JSON: " + std::to_string(error.position.line) + ":" +
                                std::to_string(error.position.column) + ": " + error.message);
    return false;
  }
  if (body->kind == JsonFileKind::Object) return true;
  *failure = refusal(400, "the request is not a JSON object");
  return false;
}

void appendValue(std::string& text, TrackType type, const FrameValue& value) {
  if (type == TrackType::UINT) {
    text += std::to_string(value.uintValue);
    return;
  }
  for (uint32_t i = 0; i < componentCount(type); ++i) {
    if (i > 0) text += ',';
    text += shortestFloatText(value.float3[i]);
  }
}

// Every track the program binds, in its order, with the file's keys as [frame, easing, values].
void appendTimeline(std::string& text, const Timeline* timeline) {
  text += "{\"frameCount\":" + std::to_string(timeline->frameCount) + ",\"bookmarks\":[";
  for (uint32_t i = 0; i < timeline->bookmarks.count; ++i) text += (i ? "," : "") + std::to_string(timeline->bookmarks[i]);
  text += "],\"tracks\":[";
  bool firstTrack = true;
  for (const TimelineTrackRule& rule : presentationTimelineRules().tracks) {
    const Track* track = findTrack(timeline, rule.name);
    text += firstTrack ? "{\"name\":" : ",{\"name\":";
    firstTrack = false;
    appendJsonString(text, rule.name);
    text += ",\"type\":\"" + std::string(typeName(rule.type)) + "\",\"inFile\":" + (track ? "true" : "false") + ",\"keys\":[";
    bool firstKey = true;
    for (uint32_t frame = 0; track != nullptr && frame < track->keys.count; ++frame) {
      const Keyframe* key = track->keys[frame];
      if (key == nullptr) continue;
      text += (firstKey ? "[" : ",[") + std::to_string(frame) + "," + std::to_string(key->easing) + ",";
      firstKey = false;
      appendValue(text, rule.type, key->value);
      text += "]";
    }
    text += "]}";
  }
  text += "]}";
}

void appendOptionalString(std::string& text, const std::string& value) {
  if (value.empty())
    text += "null";
  else
    appendJsonString(text, value);
}

std::string resultJson(EditorDocument& document, const DocumentResult& result) {
  std::string text = "{\"ok\":";
  text += result.outcome == DocumentOutcome::Written ? "true" : "false";
  text += ",\"conflict\":";
  text += result.conflict ? "true" : "false";
  text += ",\"message\":";
  appendJsonString(text, result.message);
  text += ",\"state\":" + documentStateJson(document) + "}";
  return text;
}

EditorResponse answerResult(EditorApi& api, const DocumentResult& result) {
  static constexpr int kStatus[] = {200, 400, 409, 500};
  if (result.outcome == DocumentOutcome::Written && api.publish) api.publish("version", documentStateJson(*api.document));
  return json(kStatus[int(result.outcome)], resultJson(*api.document, result));
}

EditorResponse change(EditorApi& api, const EditorRequest& request) {
  JsonFileValue body;
  EditorResponse failure;
  if (!readBody(request, &body, &failure)) return failure;
  const JsonFileValue* version = memberOf(body, "version");
  const JsonFileValue* changeJson = memberOf(body, "change");
  if (version == nullptr || version->kind != JsonFileKind::String || changeJson == nullptr)
    return refusal(400, "a change needs \"version\" (the version the page saw) and \"change\"");
  TimelineChange parsed;
  std::string error;
  if (!parseTimelineChange(*changeJson, presentationTimelineRules(), &parsed, &error))
    return refusal(400, "malformed change: " + error);
  return answerResult(api, changeDocument(*api.document, parsed, version->text));
}

bool wholeNumber(const JsonFileValue* value, double largest, uint32_t* result) {
  if (value == nullptr || value->kind != JsonFileKind::Number || !(value->number >= 0.0 && value->number <= largest) ||
      value->number != std::floor(value->number))
    return false;
  *result = uint32_t(value->number);
  return true;
}

// The values of one track over a range of frames, as the program evaluates them.
EditorResponse values(EditorApi& api, const EditorRequest& request) {
  JsonFileValue body;
  EditorResponse failure;
  if (!readBody(request, &body, &failure)) return failure;
  const uint32_t frameCount = timelineFrameCount();
  uint32_t from = 0, count = 0;
  const JsonFileValue* track = memberOf(body, "track");
  if (track == nullptr || track->kind != JsonFileKind::String || !wholeNumber(memberOf(body, "from"), frameCount, &from) ||
      !wholeNumber(memberOf(body, "count"), frameCount - from, &count))
    return refusal(400, "values need \"track\", \"from\" and \"count\" within the timeline's frames");
  TrackType type = TrackType::INVALID;
  for (const TimelineTrackRule& rule : presentationTimelineRules().tracks)
    if (track->text == rule.name) type = rule.type;
  if (type == TrackType::INVALID) return refusal(400, "there is no track \"" + track->text.substr(0, 60) + "\"");
  TimelineChange preview;
  std::string error;
  const JsonFileValue* steps = memberOf(body, "steps");
  if (steps != nullptr) {
    JsonFileValue wrapped;
    wrapped.kind = JsonFileKind::Object;
    wrapped.members.push_back(JsonFileMember{"steps", {}, *steps});
    if (!parseTimelineChange(wrapped, presentationTimelineRules(), &preview, &error))
      return refusal(400, "malformed steps: " + error);
  }
  DocumentState state = readDocument(*api.document);
  if (state.timeline == nullptr) return refusal(409, state.error);
  if (!preview.steps.empty() && !applyTimelineChange(state.timeline, preview, &error)) {
    releaseDocumentState(state);
    return refusal(409, error);
  }
  std::vector<FrameValue> frames(count);
  const Track* keys = findTrack(state.timeline, track->text.c_str());
  if (keys != nullptr && count > 0) evaluateFrames(keys, from, count, frames.data());
  releaseDocumentState(state);
  // A track the file lacks drives nothing: its parameter keeps its starting value; zeros say so.
  const uint32_t components = componentCount(type);
  std::vector<double> numbers(size_t(count) * components, 0.0);
  for (uint32_t i = 0; keys != nullptr && i < count; ++i)
    for (uint32_t c = 0; c < components; ++c)
      numbers[size_t(i) * components + c] = type == TrackType::UINT ? double(frames[i].uintValue) : double(frames[i].float3[c]);
  EditorResponse response;
  response.type = "application/octet-stream";
  response.body.assign(reinterpret_cast<const char*>(numbers.data()), numbers.size() * sizeof(double));
  return response;
}

EditorResponse easings() {
  std::string text = "{\"names\":[";
  for (uint32_t i = 0; i < EASING_COUNT; ++i) {
    if (i > 0) text += ',';
    appendJsonString(text, easingNames[i]);
  }
  text += "],\"shapes\":[null";
  for (uint32_t i = 1; i < EASING_COUNT; ++i) {
    text += ",[";
    for (uint32_t s = 0; s <= kEasingShapeSamples; ++s) {
      if (s > 0) text += ',';
      text += shortestFloatText(easingFunctions[i](float(s) / float(kEasingShapeSamples)));
    }
    text += "]";
  }
  return json(200, text + "]}");
}

EditorResponse transport(EditorApi& api, const EditorRequest& request) {
  JsonFileValue body;
  EditorResponse failure;
  if (!readBody(request, &body, &failure)) return failure;
  if (!api.transport) return refusal(404, "this editor has no transport");
  static const struct {
    const char* name;
    uint32_t key;
  } kKeys[] = {{"Space", VK_SPACE}, {"Left", VK_LEFT}, {"Right", VK_RIGHT}, {"PageUp", VK_PRIOR},
               {"PageDown", VK_NEXT}, {"Home", VK_HOME}, {"L", 'L'}};
  TransportCommand command;
  const JsonFileValue* key = memberOf(body, "key");
  const JsonFileValue* shift = memberOf(body, "shift");
  if (wholeNumber(memberOf(body, "seek"), timelineFrameCount() - 1, &command.frame)) {
    command.seek = true;
  } else if (key != nullptr && key->kind == JsonFileKind::String) {
    for (const auto& known : kKeys)
      if (key->text == known.name) command.key = known.key;
    command.shift = shift != nullptr && shift->kind == JsonFileKind::Bool && shift->boolean;
  }
  if (!command.seek && command.key == 0)
    return refusal(400, "transport takes {\"key\": Space, Left, Right, PageUp, PageDown, Home or L} or {\"seek\": a frame}");
  api.transport(command);
  return json(200, "{\"ok\":true}");
}

EditorResponse fileBytes(EditorApi& api) {
  DocumentState state = readDocument(*api.document);
  releaseDocumentState(state);
  if (!state.readable) return refusal(500, state.error);
  EditorResponse response;
  response.body = std::move(state.text);
  return response;
}

EditorResponse replaceFile(EditorApi& api, const EditorRequest& request) {
  if (!api.wholeFiles) return refusal(404, "the page sends changes, not whole files");
  JsonFileValue body;
  EditorResponse failure;
  if (!readBody(request, &body, &failure)) return failure;
  const JsonFileValue* name = memberOf(body, "name");
  const JsonFileValue* text = memberOf(body, "text");
  if (name == nullptr || name->kind != JsonFileKind::String || text == nullptr || text->kind != JsonFileKind::String)
    return refusal(400, "a file is sent as {\"name\", \"text\"}");
  return answerResult(api, replaceDocument(*api.document, text->text, name->text.substr(0, 200)));
}

}  // namespace

std::string shortestFloatText(float value) {
  char text[48];
  for (int digits = 6; digits <= 9; ++digits) {
    snprintf(text, sizeof(text), "%.*g", digits, double(value));
    if (strtof(text, nullptr) == value) break;
  }
  return text;
}

std::string documentStateJson(EditorDocument& document) {
  DocumentState state = readDocument(document);
  std::string text = "{\"version\":";
  appendJsonString(text, state.version);
  text += ",\"file\":";
  appendJsonString(text, document.name);
  text += ",\"error\":";
  appendOptionalString(text, state.timeline == nullptr ? state.error : "");
  text += ",\"timeline\":";
  if (state.timeline != nullptr)
    appendTimeline(text, state.timeline);
  else
    text += "null";
  releaseDocumentState(state);
  text += ",\"undo\":";
  appendOptionalString(text, nextUndoLabel(document));
  text += ",\"redo\":";
  appendOptionalString(text, nextRedoLabel(document));
  return text + "}";
}

EditorResponse answerEditorRequest(EditorApi& api, const EditorRequest& request) {
  const std::string& path = request.path;
  const bool get = request.method == "GET", post = request.method == "POST";
  if (get && path == "/api/state") return json(200, documentStateJson(*api.document));
  if (post && path == "/api/change") return change(api, request);
  if (post && path == "/api/undo") return answerResult(api, undoDocument(*api.document));
  if (post && path == "/api/redo") return answerResult(api, redoDocument(*api.document));
  if (post && path == "/api/values") return values(api, request);
  if (get && path == "/api/easings") return easings();
  if (post && path == "/api/transport") return transport(api, request);
  if (get && path == "/api/file") return fileBytes(api);
  if (post && path == "/api/file") return replaceFile(api, request);
  return refusal(404, "no such request: " + request.method.substr(0, 16) + " " + path.substr(0, 100));
}
