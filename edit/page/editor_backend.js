// The program behind the editor page. Here the program's server (tarnix --edit): its requests
// carry the run's token in a header, its events arrive on a Server-Sent Events stream that the
// browser reopens by itself when it drops. The web page brings another backend with the same
// calls, the program in the same page.
"use strict";
(function (editor) {
  const kRetryMs = 2000;

  function serverBackend(token) {
    const headers = { "X-Tarnix-Token": token, "Content-Type": "application/json" };

    async function post(path, body) {
      const response = await fetch(path, { method: "POST", headers, body: JSON.stringify(body) });
      return { status: response.status, ...(await response.json()) };
    }

    async function getJson(path) {
      const response = await fetch(path, { headers });
      if (!response.ok) throw new Error(`${path}: ${response.status}`);
      return response.json();
    }

    // handlers: connection(bool), version(state), playhead({...}), shown({version, ms}).
    function listen(handlers) {
      let source = null;
      const open = () => {
        source = new EventSource(`api/events?token=${encodeURIComponent(token)}`);
        source.onopen = () => handlers.connection(true);
        source.onerror = () => {
          handlers.connection(false);
          // A stream the server refused (a new run with a new token) is not reopened by the
          // browser: try again now and then, so that the page says what it sees.
          if (source.readyState === EventSource.CLOSED) setTimeout(open, kRetryMs);
        };
        for (const name of ["version", "playhead", "shown"])
          source.addEventListener(name, (event) => handlers[name](JSON.parse(event.data)));
      };
      open();
    }

    return {
      kind: "server",
      state: () => getJson("api/state"),
      easings: () => getJson("api/easings"),
      change: (version, change) => post("api/change", { version, change }),
      undo: () => post("api/undo", {}),
      redo: () => post("api/redo", {}),
      transport: (command) => post("api/transport", command),
      async values(track, from, count, steps) {
        const body = { track, from, count };
        if (steps && steps.length) body.steps = steps;
        const response = await fetch("api/values", { method: "POST", headers, body: JSON.stringify(body) });
        return response.ok ? new Float64Array(await response.arrayBuffer()) : null;
      },
      listen,
    };
  }

  editor.serverBackend = serverBackend;
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
