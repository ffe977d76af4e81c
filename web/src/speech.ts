// What a screen reader is told besides the focus: the run's console output
// in batches (the core's rule, the same as the desktop's), through a live
// region of its own. The console itself is no live region: a loop printing
// hundreds of lines would queue hundreds of announcements.
import { Core } from "./core";

export class Announcer {
  private timer: ReturnType<typeof setTimeout> | null = null;

  constructor(private readonly region: HTMLElement, private readonly core: () => Core | null) {}

  /** Text appended to the console. */
  written(text: string): void {
    const core = this.core();
    if (!core || !text) return;
    core.speechWritten(text, performance.now());
    if (this.timer === null) this.arm(core);
  }

  /** The console was emptied: what was not told yet is dropped. */
  clear(): void {
    this.stopTimer();
    this.core()?.speechClear();
  }

  /** Tells the pending output now, followed by `then` (a message of the page). */
  output(then = ""): void {
    this.stopTimer();
    const told = this.core()?.speechTake() ?? "";
    this.say(told && then ? `${told}\n${then}` : told || then);
  }

  /** One announcement: a new paragraph replaces the last, so the same text
   *  twice is told twice, and only the new one is read. */
  say(text: string): void {
    if (!text) return;
    const p = document.createElement("p");
    for (const [k, line] of text.split("\n").entries()) {
      if (k) p.appendChild(document.createElement("br"));
      p.appendChild(document.createTextNode(line));
    }
    this.region.replaceChildren(p);
  }

  private arm(core: Core): void {
    const wait = core.speechDue(performance.now());
    if (wait < 0) return;
    this.timer = setTimeout(() => {
      this.timer = null;
      const c = this.core();
      if (!c) return;
      if (c.speechDue(performance.now()) === 0) this.output();
      else this.arm(c);
    }, wait);
  }

  private stopTimer(): void {
    if (this.timer !== null) clearTimeout(this.timer);
    this.timer = null;
  }
}
