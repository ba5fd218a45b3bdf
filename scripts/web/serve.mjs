// A static file server for the web site, on 127.0.0.1 only:
//   node scripts/web/serve.mjs <folder> <port>     (port 0: any free one)
// Prints "serving <folder> at http://127.0.0.1:<port>/" once it listens. The web suites start
// it the same way.
import { createReadStream, statSync } from "node:fs";
import { createServer } from "node:http";
import { extname, join, normalize, resolve } from "node:path";

const kTypes = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".wasm": "application/wasm",
  ".ttf": "font/ttf", ".txt": "text/plain; charset=utf-8", ".png": "image/png", ".css": "text/css; charset=utf-8",
};

const [folder, port = "8000"] = process.argv.slice(2);
const root = resolve(folder);

const server = createServer((request, response) => {
  let path = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
  if (path.endsWith("/")) path += "index.html";
  const file = normalize(join(root, path));
  let size = -1;
  try {
    if (file.startsWith(root + "/")) size = statSync(file).isFile() ? statSync(file).size : -1;
  } catch {
    size = -1;
  }
  if (request.method !== "GET" && request.method !== "HEAD") {
    response.writeHead(405).end();
  } else if (size < 0) {
    response.writeHead(404, { "content-type": "text/plain" }).end("not found\n");
  } else {
    response.writeHead(200, { "content-type": kTypes[extname(file)] || "application/octet-stream",
                              "content-length": size, "cache-control": "no-cache" });
    if (request.method === "HEAD") response.end();
    else createReadStream(file).pipe(response);
  }
});
server.listen(Number(port), "127.0.0.1", () => {
  console.log(`serving ${folder} at http://127.0.0.1:${server.address().port}/`);
});
