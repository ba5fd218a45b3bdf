// The editor beside the show (?edit): the editor of tarnix --edit (edit/page/, copied into
// editor/ by scripts/build-web), working on the timeline this page holds, which the program
// in the page keeps and changes as the native program changes a file. The show plays each
// version from its next frame. The text can be downloaded; a file dropped on the page (or
// opened) replaces it once it passes the same checks, or is refused with its line and column.
"use strict";

const kEditorScripts = ["editor_model.js", "editor_timeline_view.js", "editor_curve_view.js", "editor_panel.js", "editor.js"];

// The program's answers, as the native editor's server would give them.
function pageEditorBackend() {
  const decoder = new TextDecoder();
  const ask = (method, path, body = "") => TarnixWeb.editorRequest(method, path, body);
  const json = (answer) => ({ status: answer.status, ...JSON.parse(decoder.decode(answer.body)) });
  return {
    kind: "page",
    state: async () => json(ask("GET", "/api/state")),
    easings: async () => json(ask("GET", "/api/easings")),
    change: async (version, change) => json(ask("POST", "/api/change", JSON.stringify({ version, change }))),
    undo: async () => json(ask("POST", "/api/undo")),
    redo: async () => json(ask("POST", "/api/redo")),
    // The show in a page plays on with its music: there is no transport to drive.
    transport: null,
    async values(track, from, count, steps) {
      const body = { track, from, count };
      if (steps && steps.length) body.steps = steps;
      const answer = ask("POST", "/api/values", JSON.stringify(body));
      return answer.status === 200 ? new Float64Array(answer.body.buffer.slice(answer.body.byteOffset, answer.body.byteOffset + answer.body.byteLength)) : null;
    },
    fileText: async () => decoder.decode(ask("GET", "/api/file").body),
    loadFile: async (name, text) => json(ask("POST", "/api/file", JSON.stringify({ name, text }))),
    listen(handlers) {
      handlers.connection(true);
      TarnixWeb.editorListeners.push((event, data) => {
        if (handlers[event]) handlers[event](JSON.parse(data));
      });
    },
  };
}

function loadScript(url) {
  return new Promise((resolve, reject) => {
    const script = document.createElement("script");
    script.src = url;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`cannot load ${url}`));
    document.body.append(script);
  });
}

// Called by page.js once the program's module is ready.
async function startEditorPanel() {
  document.body.classList.add("editing");
  const style = document.createElement("link");
  style.rel = "stylesheet";
  style.href = "editor/editor.css";
  document.head.append(style);
  for (const name of kEditorScripts) await loadScript(`editor/${name}`);
  const element = document.createElement("div");  // the editor lays itself out inside the page's pane
  element.style.height = "100%";
  document.getElementById("editor-panel").append(element);
  const app = TarnixEditor.start(element, pageEditorBackend(), { files: true });
  await app.ready;
  return app;
}
