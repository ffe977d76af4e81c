// One run of the interpreter in slices, the same for the worker and for the
// page. Every wait of the program (input, pause, single step) is a status of
// the core; the host decides how to wait for the user.
import { Core, Status } from "./core";

export interface RunHost {
  stopRequested(): boolean;
  /** The typed entry once OK was given; null when stopped. */
  input(): Promise<string | null>;
  /** Waits ms milliseconds (Infinity: until Stop); ends early on Stop. */
  pause(ms: number): Promise<void>;
  /** Waits for Step or Stop; true for Step. */
  stepWait(): Promise<boolean>;
  /** Gives the host's event loop a turn between slices, where needed. */
  yieldNow(): Promise<void>;
  /** Passes the panel's changes on; `final` at every wait and the end. */
  flush(final: boolean): void;
}

/** How a run ended: on its own, by an arithmetic fault of the program, or by a
 *  failure of the machinery (a German message for the pupil). */
export type RunEnd = { kind: "ended" } | { kind: "fault"; text: string; line: number } | { kind: "failed"; text: string };

/** Slices of about this many milliseconds keep Stop quick and let the
 *  engine optimise the re-entered interpreter. */
const SliceMs = 5;

export async function runLoop(core: Core, host: RunHost): Promise<RunEnd> {
  let budget = 20000;
  for (;;) {
    if (host.stopRequested()) core.stop();
    const t0 = performance.now();
    const status = core.slice(budget);
    const dt = performance.now() - t0;
    if (status === Status.Running) {
      // Aim each slice at SliceMs, growing at most fourfold at once.
      budget = Math.max(1000, Math.min(budget * 4, Math.round(budget * SliceMs / Math.max(dt, 0.25))));
      host.flush(false);
      await host.yieldNow();
      continue;
    }
    host.flush(true);
    switch (status) {
      case Status.Input: {
        const entry = await host.input();
        if (entry === null || host.stopRequested()) core.stop();
        else core.enterNumber(entry);
        break;
      }
      case Status.Pause: {
        const s = core.pauseSeconds();
        const ms = Number.isFinite(s) ? s * 1000 : Infinity;
        if (ms > 0) await host.pause(ms);
        if (host.stopRequested()) core.stop();
        else core.pauseDone();
        break;
      }
      case Status.StepWait:
        if (await host.stepWait()) core.step();
        else core.stop();
        break;
      case Status.Ended:
        return { kind: "ended" };
      case Status.Fault:
        return { kind: "fault", text: core.faultText(), line: core.faultLine() };
      default:
        throw new Error(`unknown run status ${status as number}`);
    }
  }
}
