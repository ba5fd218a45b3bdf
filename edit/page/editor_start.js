// The page of tarnix --edit: the editor on the program's server, with the run's token from the
// page's own address.
"use strict";
TarnixEditor.start(document.getElementById("editor"),
                   TarnixEditor.serverBackend(new URLSearchParams(location.search).get("token") || ""));
