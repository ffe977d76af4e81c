// The hand-held device: console, 200 x 200 image and keypad. It only shows
// what the core reports and collects the typed number.
import { PanelEvent } from "./core";
import { Announcer } from "./speech";

interface KeyDef { id: string; caption: string; key: string; left: number; top: number; width: number; height: number; name: string }

// The keypad as the desktop lays it out: digits on an arc, then C, OK, -, ,.
const Keys: readonly KeyDef[] = [
  { id: "B1", caption: "1", key: "1", left: 52, top: 295, width: 16, height: 19, name: "Taste 1" },
  { id: "B2", caption: "2", key: "2", left: 74, top: 300, width: 16, height: 20, name: "Taste 2" },
  { id: "B3", caption: "3", key: "3", left: 96, top: 304, width: 16, height: 19, name: "Taste 3" },
  { id: "B4", caption: "4", key: "4", left: 118, top: 306, width: 16, height: 20, name: "Taste 4" },
  { id: "B5", caption: "5", key: "5", left: 140, top: 310, width: 16, height: 21, name: "Taste 5" },
  { id: "B6", caption: "6", key: "6", left: 162, top: 310, width: 16, height: 21, name: "Taste 6" },
  { id: "B7", caption: "7", key: "7", left: 184, top: 307, width: 16, height: 20, name: "Taste 7" },
  { id: "B8", caption: "8", key: "8", left: 206, top: 304, width: 16, height: 19, name: "Taste 8" },
  { id: "B9", caption: "9", key: "9", left: 228, top: 300, width: 16, height: 21, name: "Taste 9" },
  { id: "B0", caption: "0", key: "0", left: 250, top: 295, width: 16, height: 19, name: "Taste 0" },
  { id: "BC", caption: "C", key: "C", left: 97, top: 334, width: 20, height: 18, name: "Taste C" },
  { id: "BOK", caption: "OK", key: "OK", left: 142, top: 340, width: 33, height: 18, name: "Taste OK" },
  { id: "BM", caption: "-", key: "-", left: 200, top: 336, width: 16, height: 18, name: "Taste Minus" },
  { id: "BK", caption: ",", key: ",", left: 222, top: 330, width: 16, height: 18, name: "Taste Komma" },
];

export class Device {
  private consoleText = "";
  private entry = "";
  private inputOn = false;
  private readonly keys = new Map<string, HTMLButtonElement>();
  private readonly ctx: CanvasRenderingContext2D;
  // The console's text grows by appending (a screen reader reading it back
  // meets the text it has met before), the entry being typed behind it.
  private readonly shown = document.createTextNode("");
  private readonly typed = document.createElement("span");

  /** `valid` tells whether an entry is a number OK accepts; `done` gets it. */
  constructor(
    private readonly memo: HTMLElement,
    private readonly image: HTMLCanvasElement,
    keypad: HTMLElement,
    private readonly valid: (entry: string) => boolean,
    private readonly done: (entry: string) => void,
    /** Takes the keyboard while a number is wanted: a text field named by
     *  the question, where a screen reader stays in its focus mode. */
    private readonly field: HTMLInputElement,
    private readonly speech: Announcer,
  ) {
    memo.replaceChildren(this.shown, this.typed);
    // The field shows what the device took; the keys reach it through keyboard().
    field.addEventListener("beforeinput", (e) => e.preventDefault());
    this.ctx = image.getContext("2d")!;
    this.ctx.fillStyle = "#000";
    this.ctx.fillRect(0, 0, 200, 200);
    for (const k of Keys) {
      const b = document.createElement("button");
      b.id = k.id;
      b.textContent = k.caption;
      b.setAttribute("aria-label", k.name);
      b.disabled = true;
      // The desktop's place and size; the style sheet lays keys out anew
      // for fingers (touch screens) from these.
      for (const [p, v] of [["--l", k.left], ["--t", k.top], ["--w", k.width], ["--h", k.height]] as const) b.style.setProperty(p, `${v}px`);
      b.addEventListener("click", () => this.key(k.key));
      keypad.appendChild(b);
      this.keys.set(k.key, b);
    }
  }

  get inputActive(): boolean { return this.inputOn; }

  /** A new run: empty console on top, black running colours. */
  startRun(): void {
    this.consoleText = "";
    this.shown.data = "";
    this.memo.replaceChildren(this.shown, this.typed);
    this.speech.clear();
    this.memo.style.color = "#000";
    this.show(false);
    this.render();
    this.setRunning(true);
  }

  setRunning(running: boolean): void {
    this.memo.classList.toggle("idle", !running);
  }

  apply(events: PanelEvent[], pixels?: Uint8ClampedArray<ArrayBuffer>): void {
    let textChanged = false;
    let added = "";
    for (const e of events) {
      switch (e.kind) {
        case "text": added += e.text; textChanged = true; break;
        case "clear": added = ""; this.consoleText = ""; this.shown.data = ""; this.speech.clear(); textChanged = true; break;
        case "console": this.show(false); break;
        case "graphics": this.show(true); break;
        case "font": this.memo.style.color = `rgb(${e.rgb.join(",")})`; break;
      }
    }
    if (added) {
      this.consoleText += added;
      this.shown.appendData(added);
      this.speech.written(added);
    }
    if (pixels) this.ctx.putImageData(new ImageData(pixels, 200, 200), 0, 0);
    if (textChanged) this.render();
  }

  private show(graphics: boolean): void {
    this.image.hidden = !graphics;
    this.memo.hidden = graphics;
  }

  private render(): void {
    const entry = this.inputOn ? this.entry : "";
    if (this.typed.textContent !== entry) this.typed.textContent = entry;
    this.field.value = entry;
    this.memo.scrollTop = this.memo.scrollHeight;
  }

  /** Number input begins (on) or ends; OK starts disabled either way.
   *  `keyboard`: typed keys count (a normal run), not only the keypad. */
  setInputMode(on: boolean, keyboard = true): void {
    // The console takes the focus before the keys are disabled, which would
    // otherwise leave it nowhere.
    const active = document.activeElement;
    if (!on && (active === this.field || [...this.keys.values()].some((b) => b === active))) this.memo.focus();
    this.inputOn = on;
    this.entry = "";
    for (const [k, b] of this.keys) b.disabled = !on || k === "OK";
    this.field.hidden = !on;
    if (on) {
      this.show(false);
      this.render();
      const question = this.consoleText.slice(this.consoleText.lastIndexOf("\n") + 1).replace(/\s+/g, " ").trim();
      this.field.setAttribute("aria-label", question ? `Eingabe: ${question}` : "Eingabe");
      this.field.readOnly = !keyboard;
      this.field.focus();
      // After the focus, which would cut it short; the question comes last.
      this.speech.output();
    }
  }

  /** A keypad key or its keyboard equivalent. */
  key(k: string): void {
    if (!this.inputOn) return;
    if (k === "OK") {
      if (this.keys.get("OK")!.disabled) return;
      const entry = this.entry;
      this.setInputMode(false);
      this.done(entry);
      return;
    }
    this.entry = k === "C" ? this.entry.slice(0, -1) : this.entry + k;
    this.keys.get("OK")!.disabled = !this.valid(this.entry);
    this.render();
  }

  /** Keyboard input during a normal run: digits, comma, minus, Backspace, Enter. */
  keyboard(e: KeyboardEvent): boolean {
    if (!this.inputOn) return false;
    if (/^[0-9,\-]$/.test(e.key)) this.key(e.key);
    else if (e.key === "Backspace") this.key("C");
    else if (e.key === "Enter") this.key("OK");
    else return false;
    return true;
  }

  consoleContent(): string { return this.consoleText; }
}
