// Offline use and cross-origin isolation where the server sets no headers:
// every file of the site comes from this build's cache, and each response
// carries the two headers that make the page cross-origin isolated.
declare const SITE_FILES: string[];
declare const SITE_VERSION: string;

interface ExtendableEvent extends Event { waitUntil(p: Promise<unknown>): void }
interface FetchEvent extends ExtendableEvent { request: Request; respondWith(r: Promise<Response>): void }
interface SwScope {
  skipWaiting(): Promise<void>;
  clients: { claim(): Promise<void> };
  location: Location;
  addEventListener(t: "install" | "activate", f: (e: ExtendableEvent) => void): void;
  addEventListener(t: "fetch", f: (e: FetchEvent) => void): void;
}
const sw = self as unknown as SwScope;
const CacheName = `tarko-${SITE_VERSION}`;

// Past the HTTP cache: a server that sends Last-Modified without
// Cache-Control lets the browser keep files heuristically, and a new build
// would otherwise store the old files under its new cache name.
sw.addEventListener("install", (e) => {
  e.waitUntil(caches.open(CacheName)
    .then((c) => c.addAll(SITE_FILES.map((f) => new Request(f, { cache: "reload" }))))
    .then(() => sw.skipWaiting()));
});

sw.addEventListener("activate", (e) => {
  e.waitUntil((async () => {
    for (const k of await caches.keys()) if (k.startsWith("tarko-") && k !== CacheName) await caches.delete(k);
    await sw.clients.claim();
  })());
});

function isolated(r: Response): Response {
  if (r.status === 0 || r.type === "opaque") return r;
  const h = new Headers(r.headers);
  h.set("Cross-Origin-Opener-Policy", "same-origin");
  h.set("Cross-Origin-Embedder-Policy", "require-corp");
  h.set("Cross-Origin-Resource-Policy", "same-origin");
  return new Response(r.body, { status: r.status, statusText: r.statusText, headers: h });
}

sw.addEventListener("fetch", (e) => {
  const url = new URL(e.request.url);
  if (e.request.method !== "GET" || url.origin !== sw.location.origin) return;
  e.respondWith((async () => {
    // Not caches.open: an old worker still answering would create its
    // cache again after the new one deleted it.
    const hit = await caches.match(e.request, { cacheName: CacheName, ignoreSearch: true });
    if (hit) return isolated(hit);
    try {
      return isolated(await fetch(e.request));
    } catch {
      return new Response("", { status: 504 });
    }
  })());
});
