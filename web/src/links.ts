// Links that carry a program: the program's Windows-1252 bytes, deflated and
// base64url-coded, in the fragment after '#', which browsers never send to a
// server. Opening one adds an unsaved copy in a new tab; nothing runs.
import type { App } from "./main";
import { decode, encode } from "./cp1252";
import { captionOf, NewProgramName, TabCount } from "./editors";
import { RunState } from "./session";
import * as dialogs from "./dialogs";
import { $ } from "./dom";
import qrcode from "qrcode-generator";

/** The longest link "Link kopieren" makes; browsers take far longer ones. */
export const MaxLinkLength = 65536;
/** The most program bytes a link may unpack to (guards against a small
 *  fragment that inflates without end). */
const MaxProgramBytes = 1 << 20;
const ProgramKey = "trk";
const NameKey = "name";

export const LinkText = {
  damaged: "Der Link ist beschädigt: Tarko kann kein Programm daraus lesen. Bitte lass dir den Link noch einmal schicken.",
  tooLong: "Der Link ist zu lang: Tarko öffnet Programme aus Links nur bis 64 KB Linklänge. Gib das Programm bitte als Datei weiter.",
  full: "Alle fünf Karteireiter sind belegt, darum hat Tarko das Programm aus dem Link nicht geöffnet. "
    + "Schließe einen Karteireiter und lade die Seite dann neu.",
  copyTooLong: "Das Programm ist für einen Link zu lang. Gib es bitte als Datei weiter (Speichern).",
  copyFailed: "Der Link konnte nicht in die Zwischenablage kopiert werden.",
  copied: "Der Link ist in der Zwischenablage",
  qrTooLong: "Das Programm ist für einen QR-Code zu lang: Ein QR-Code fasst höchstens 2953 Zeichen, dieser Link hat LEN. "
    + "Gib den Link mit „Link kopieren“ weiter oder das Programm als Datei.",
} as const;

function base64url(bytes: Uint8Array): string {
  let s = "";
  for (let i = 0; i < bytes.length; i += 8192) s += String.fromCharCode(...bytes.subarray(i, i + 8192));
  return btoa(s).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

function fromBase64url(text: string): Uint8Array | null {
  if (!/^[A-Za-z0-9_-]*$/.test(text)) return null;
  try {
    const s = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
    const out = new Uint8Array(s.length);
    for (let i = 0; i < s.length; i++) out[i] = s.charCodeAt(i);
    return out;
  } catch {
    return null;
  }
}

async function deflate(bytes: Uint8Array): Promise<Uint8Array> {
  const stream = new Blob([bytes as BlobPart]).stream().pipeThrough(new CompressionStream("deflate-raw"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

/** The inflated bytes; null when they are not a deflate stream or unpack to
 *  more than the limit. */
async function inflate(bytes: Uint8Array): Promise<Uint8Array | null> {
  try {
    const reader = new Blob([bytes as BlobPart]).stream().pipeThrough(new DecompressionStream("deflate-raw")).getReader();
    const parts: Uint8Array[] = [];
    let n = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      n += value.length;
      if (n > MaxProgramBytes) { void reader.cancel().catch(() => undefined); return null; }
      parts.push(value);
    }
    const out = new Uint8Array(n);
    let o = 0;
    for (const p of parts) { out.set(p, o); o += p.length; }
    return out;
  } catch {
    return null;
  }
}

/** The link of a program: this page's address, the program and its name. */
export async function makeLink(text: string, fileName: string, base: string): Promise<string> {
  const url = new URL(base);
  const data = base64url(await deflate(encode(text)));
  url.hash = `${ProgramKey}=${data}&${NameKey}=${encodeURIComponent(fileName)}`;
  return url.href;
}

export type Opened = { text: string; fileName: string } | "damaged" | "tooLong" | null;

/** A file name safe to show and to offer when saving: a plain name. */
function plainName(name: string | null): string {
  if (!name || name.length > 100 || /[\\/:*?"<>|\u0000-\u001f]/.test(name) || !/\.trk$/i.test(name)) return NewProgramName;
  return name;
}

/** Reads a fragment; null when it carries no program. */
export async function readLink(href: string): Promise<Opened> {
  const hash = new URL(href).hash.slice(1);
  if (!hash.startsWith(`${ProgramKey}=`)) return null;
  if (href.length > MaxLinkLength) return "tooLong";
  const params = new URLSearchParams(hash);
  const packed = fromBase64url(params.get(ProgramKey) ?? "");
  const bytes = packed && packed.length > 0 ? await inflate(packed) : null;
  if (!bytes) return "damaged";
  return { text: decode(bytes), fileName: plainName(params.get(NameKey)) };
}

function copyByCommand(text: string): boolean {
  const area = document.createElement("textarea");
  area.value = text;
  area.setAttribute("readonly", "");
  area.style.position = "fixed";
  area.style.opacity = "0";
  document.body.appendChild(area);
  area.select();
  try { return document.execCommand("copy"); } catch { return false; } finally { area.remove(); }
}

export class Links {
  constructor(private readonly app: App) {
    // Both live in the options dialog (the tool bar keeps its layout); the
    // dialog closes unchanged before they act.
    const closeOptions = () => { const d = $<HTMLDialogElement>("OptionForm"); d.returnValue = "cancel"; d.close(); };
    $("LinkKopieren2").addEventListener("click", () => { closeOptions(); void this.copy(); });
    $("LinkQr2").addEventListener("click", () => { closeOptions(); void this.showQr(); });
    // A link pasted into the address bar of an open Tarko changes only the fragment.
    addEventListener("hashchange", () => void this.openFromAddress());
  }

  /** The current program's link; null (and said) when there is none. */
  private async link(): Promise<string | null> {
    const app = this.app;
    const e = app.editors;
    if (app.runState !== RunState.Idle || e.lastTab < 0) return null;
    const base = location.href.replace(/#.*$/, "");
    const link = await makeLink(e.text(), e.fileNames[e.current]!, base);
    if (link.length > MaxLinkLength) { await dialogs.error(LinkText.copyTooLong); return null; }
    return link;
  }

  /** The link as a QR code for the projector: the smallest code that holds
   *  it (medium error correction where it fits, else low), whole device
   *  pixels per module, four modules of quiet zone. */
  async showQr(): Promise<void> {
    const link = await this.link();
    if (link === null) return;
    let code: ReturnType<typeof qrcode> | null = null;
    for (const level of ["M", "L"] as const) {
      try {
        const c = qrcode(0, level);
        c.addData(link, "Byte");
        c.make();
        code = c;
        break;
      } catch { /* too long for this level */ }
    }
    if (!code) { await dialogs.error(LinkText.qrTooLong.replace("LEN", String(link.length))); return; }
    const e = this.app.editors;
    const caption = captionOf(e.fileNames[e.current]!);
    $("QrTitle").textContent = `Link als QR-Code: ${caption}`;
    const canvas = $<HTMLCanvasElement>("QrCode");
    canvas.setAttribute("aria-label", `QR-Code des Links zum Programm ${caption}`);
    const n = code.getModuleCount() + 8;
    const ratio = window.devicePixelRatio || 1;
    const room = Math.min(innerWidth - 40, innerHeight - 110) * ratio;
    const cell = Math.max(2, Math.floor(room / n));
    canvas.width = canvas.height = n * cell;
    canvas.style.width = canvas.style.height = `${(n * cell) / ratio}px`;
    const g = canvas.getContext("2d")!;
    g.fillStyle = "#fff";
    g.fillRect(0, 0, n * cell, n * cell);
    g.fillStyle = "#000";
    for (let r = 0; r < n - 8; r++) {
      for (let c = 0; c < n - 8; c++) if (code.isDark(r, c)) g.fillRect((c + 4) * cell, (r + 4) * cell, cell, cell);
    }
    $<HTMLDialogElement>("QrForm").showModal();
  }

  async copy(): Promise<void> {
    const app = this.app;
    const e = app.editors;
    const link = await this.link();
    if (link === null) return;
    try {
      const caption = captionOf(e.fileNames[e.current]!);
      const html = `<a href="${link}">${caption.replace(/&/g, "&amp;").replace(/</g, "&lt;")}</a>`;
      // Pasted into a mail or a course page the link shows the program's name.
      // Served over plain http (a school's own server) there is no
      // clipboard API; the older copy command still works there.
      if (!navigator.clipboard) {
        if (!copyByCommand(link)) throw new Error("copy");
      } else if (typeof ClipboardItem === "function" && navigator.clipboard.write) {
        await navigator.clipboard.write([new ClipboardItem({
          "text/plain": new Blob([link], { type: "text/plain" }),
          "text/html": new Blob([html], { type: "text/html" }),
        })]).catch(() => navigator.clipboard.writeText(link));
      } else {
        await navigator.clipboard.writeText(link);
      }
      app.showMessageLine(0, LinkText.copied);
    } catch {
      await dialogs.error(LinkText.copyFailed);
    }
  }

  /** Opens the program of a link in the address bar, once: the fragment goes
   *  afterwards, so a reload does not open it again. Only where five tabs are
   *  full it stays, for a reload after closing one. */
  async openFromAddress(): Promise<void> {
    let got: Opened;
    try { got = await readLink(location.href); } catch { got = "damaged"; }
    if (got === null) return;
    const app = this.app;
    const e = app.editors;
    if (typeof got === "object" && e.lastTab >= TabCount - 1) {
      await dialogs.message(LinkText.full);
      return;
    }
    history.replaceState(history.state, "", location.href.replace(/#.*$/, ""));
    if (got === "damaged" || got === "tooLong") {
      await dialogs.error(LinkText[got]);
      return;
    }
    app.showMessageLine(1, "");
    e.openTab(got.fileName, got.text);
    e.setModified(e.current, true);
    app.keep();
    app.commands.updateCaptionAndCommands();
    e.focus();
  }
}
