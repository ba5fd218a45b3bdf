// The program. With no arguments it runs as designed; the options (app/command_line.h)
// change only the window, the clock and the sound. The render size is the one thing
// that differs between the two deliverables, fixed when each is built.
#include <algorithm>
#include <cstdio>

#include "app/command_line.h"
#include "app/presentation.h"
#include "app/timeline_file.h"
#include "base/diagnostics.h"
#include "edit/editor.h"
#include "edit/editor_link.h"
#include "gpu/device_choice.h"
#include "platform/browser.h"
#include "platform/files.h"
#include "platform/os.h"

#ifndef TARNIX_RENDER_WIDTH
#define TARNIX_RENDER_WIDTH 960
#endif
#ifndef TARNIX_RENDER_HEIGHT
#define TARNIX_RENDER_HEIGHT 540
#endif

static_assert(TARNIX_RENDER_WIDTH % 32 == 0, "the compute passes cover whole groups of 32 columns");

namespace {

constexpr int kBadOptionExitStatus = 2;
constexpr int kUnusableFileExitStatus = 1;
constexpr int kNoDriverExitStatus = 1;

// Too large for the stack and used for the whole run.
Presentation presentation;
EditorLink editorLink;

void printSummary(const char* program, const PresentationSummary& summary) {
  if (summary.framesShown == 0) {
    printMessage("%s: ended before the music started\n", program);
    return;
  }
  printMessage("%s: %llu frames presented, last timeline frame %u at music time %.1f s\n", program,
               static_cast<unsigned long long>(summary.framesShown), summary.lastShownFrame,
               summary.musicSeconds);
}

// The timeline file of --timeline or --edit, checked before anything else starts; an edited
// file that does not exist yet is made from the built-in timeline first. Null with the
// message printed when the file cannot be used. *stamp: the version read (taken before the
// read, so that a save during start-up is seen as one).
Timeline* timelineOfFile(const std::string& program, const CommandLine& commandLine, OsFileStamp* stamp) {
  std::string message;
  const std::string& path = commandLine.timelinePath;
  if (commandLine.edit && !osFileStampOf(path.c_str()).exists) {
    if (!writeBuiltInTimelineFile(path, &message)) {
      fprintf(stderr, "%s\n", message.c_str());
      return nullptr;
    }
    printf("%s: %s did not exist; it now holds the built-in timeline\n", program.c_str(), path.c_str());
  }
  *stamp = osFileStampOf(path.c_str());
  Timeline* timeline = readTimelineFile(path, &message);
  if (timeline == nullptr) fprintf(stderr, "%s\n", message.c_str());
  return timeline;
}

// --list-devices: every device and whether it can run the presentation at these sizes.
int listDevicesOf(const PresentationOptions& options) {
  gfx::DeviceRequirements requirements = presentationDeviceRequirements(options);
  requirements.ImageSide = std::max({requirements.ImageSide, options.windowWidth, options.windowHeight});
  std::string text;
  const bool listed = listDevices(requirements, &text);
  fputs(text.c_str(), listed ? stdout : stderr);
  return listed ? 0 : kNoDriverExitStatus;
}

// The editor's page, served before anything opens so that a port in use ends the run at once;
// its address is printed (and handed to the browser with --open).
bool serveEditorPage(const std::string& program, const CommandLine& commandLine) {
  std::string error;
  if (!openEditorLink(editorLink, commandLine.timelinePath, commandLine.editorPort, &error)) {
    fprintf(stderr, "%s: editor: %s\n", program.c_str(), error.c_str());
    return false;
  }
  const std::string address = editorServerAddress(editorLink.server);
  printf("editor: %s\n", address.c_str());
  fflush(stdout);
  if (commandLine.openEditor && !osOpenInBrowser(address, &error))
    fprintf(stderr, "%s: --open: %s; open the address above by hand\n", program.c_str(), error.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = programName(argc > 0 ? argv[0] : nullptr);
  CommandLine commandLine;
  std::string error;
  switch (parseCommandLine(argc, argv, &commandLine, &error)) {
    case CommandLineAction::Help:
      fputs(commandLineUsage(program.c_str()).c_str(), stdout);
      return 0;
    case CommandLineAction::Version:
      printf("%s %s (render size %ux%u)\n", program.c_str(), kTarnixVersion, TARNIX_RENDER_WIDTH,
             TARNIX_RENDER_HEIGHT);
      return 0;
    case CommandLineAction::Error:
      fprintf(stderr, "%s: %s\n\n%s", program.c_str(), error.c_str(), commandLineUsage(program.c_str()).c_str());
      return kBadOptionExitStatus;
    case CommandLineAction::Run:
      break;
  }
  PresentationOptions options;
  options.renderWidth = commandLine.renderWidth != 0 ? commandLine.renderWidth : TARNIX_RENDER_WIDTH;
  options.renderHeight = commandLine.renderHeight != 0 ? commandLine.renderHeight : TARNIX_RENDER_HEIGHT;
  options.lookHeight = TARNIX_RENDER_HEIGHT;
  // The editor renders at the seeks and pauses of its user, not at a steady rate to measure.
  options.chooseRenderSize = commandLine.renderWidth == 0 && !commandLine.nativeRenderSize && !commandLine.edit;
  options.windowed = commandLine.windowed;
  options.windowWidth = commandLine.windowWidth;
  options.windowHeight = commandLine.windowHeight;
  options.clock = commandLine.clock;
  options.noSound = commandLine.noSound;
  options.device = commandLine.device.empty() ? nullptr : commandLine.device.c_str();
  if (commandLine.listDevices) return listDevicesOf(options);
  if (options.device != nullptr && !deviceNameFound(options.device, &error)) {
    fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
    return kBadOptionExitStatus;
  }

  Timeline* timeline = nullptr;
  OsFileStamp loaded;
  if (!commandLine.timelinePath.empty() && (timeline = timelineOfFile(program, commandLine, &loaded)) == nullptr)
    return kUnusableFileExitStatus;
  if (commandLine.edit && !serveEditorPage(program, commandLine)) {
    destroyTimeline(timeline);
    return kUnusableFileExitStatus;
  }
  // Before the window and the sound device exist, so that their libraries leave the
  // signals to us.
  osInstallStopRequestHandlers();

  options.timeline = timeline;
  startPresentation(presentation, options);
  if (commandLine.edit) {
    printSummary(program.c_str(), runEditor(presentation, commandLine.timelinePath, loaded, &editorLink));
    closeEditorLink(editorLink);
  }
  else
    printSummary(program.c_str(), runPresentation(presentation));
  return osStopRequestExitStatus();
}
