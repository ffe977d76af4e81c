// What the browser keeps: every tab's text in IndexedDB as it is typed, the
// options in localStorage (the desktop's defaults).
import { TabState } from "./editors";

export interface Workbench { lastTab: number; active: number; tabs: (TabState & { handle?: unknown })[] }

const Db = "tarko";
const Store = "workbench";
const Key = "tabs";
const RecentKey = "recent";
/** Changes with every write of the workbench, so a writer sees whether
 *  anyone else wrote since it read. */
const VersionKey = "version";

export interface RecentFile { name: string; handle: FileSystemFileHandle }

function open(): Promise<IDBDatabase> {
  return new Promise((resolve, reject) => {
    const r = indexedDB.open(Db, 1);
    r.onupgradeneeded = () => r.result.createObjectStore(Store);
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => reject(r.error ?? new Error("IndexedDB"));
  });
}

/** One stored value; undefined when there is none or it cannot be read. */
function get(db: IDBDatabase, key: string): Promise<unknown> {
  return new Promise((resolve) => {
    const r = db.transaction(Store).objectStore(Store).get(key);
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => resolve(undefined);
  });
}

/** Writes one value; resolves when the write is over, done or not. */
function put(db: IDBDatabase, key: string, value: unknown): Promise<void> {
  return new Promise((resolve) => {
    const tx = db.transaction(Store, "readwrite");
    tx.objectStore(Store).put(value, key);
    tx.oncomplete = tx.onerror = tx.onabort = () => resolve();
  });
}

/** The newest state of a page that left with writes unfinished: `after` is
 *  the stored version it knew written, `by` the page's own version prefix. */
interface Journal { after: unknown; by: string; state: Workbench }
const JournalKey = "tarko.journal";

function writeJournal(j: Journal): void {
  try {
    // File handles do not go into text; the stored record has them.
    const tabs = j.state.tabs.map(({ text, fileName, modified }) => ({ text, fileName, modified }));
    localStorage.setItem(JournalKey, JSON.stringify({ ...j, state: { ...j.state, tabs } }));
  } catch { /* too big or no storage: the last write is all there is */ }
}

function dropJournal(): void {
  try { localStorage.removeItem(JournalKey); } catch { /* nothing kept there */ }
}

/** The journal's state when it is newer than what is stored (nobody but its
 *  page wrote after it), with the stored tabs' file handles. */
function takeJournal(version: unknown, stored: Workbench | null): Workbench | null {
  let j: Journal | null = null;
  try { j = JSON.parse(localStorage.getItem(JournalKey) ?? "null") as Journal | null; } catch { /* unreadable: none */ }
  if (!j?.state || !Array.isArray(j.state.tabs)) return null;
  if (version !== j.after && !(typeof version === "string" && version.startsWith(`${j.by}.`))) { dropJournal(); return null; }
  j.state.tabs.forEach((t, i) => {
    const before = stored?.tabs[i];
    if (before?.handle && before.fileName === t.fileName) t.handle = before.handle;
  });
  return j.state;
}

/** Why the programs are not (or no longer) kept. */
export type Trouble = "unavailable" | "full" | "elsewhere" | "overtaken";

/** The lock held by the page that keeps the programs. */
const LockName = "tarko.programme";
/** How long a new page waits for the lock: short for a real second tab,
 *  long where the page it replaces (a reload in the same tab) held it, since
 *  that one surely lets go. */
const LockWait = 1500;
const SuccessorWait = 5000;
const HeldKey = "tarko.held";

/** Every open page of the site shares one stored workbench, so only one page
 *  keeps it: the one holding the Web Lock "tarko.programme". A page that does
 *  not get the lock shows the kept programs but writes nothing, and says so.
 *  Besides, every write checks in its own transaction that the stored version
 *  is the one this page read or last wrote: a page that fell behind (another
 *  page wrote, it was restored from the back/forward cache, the browser has no
 *  Web Locks) stops keeping and says so instead of writing old texts over new
 *  ones. Nothing is written before this page has read the store, and nothing
 *  after it left. Writes go one at a time, the newest state next; on leaving,
 *  a waiting one goes at once, and the newest state also into a journal that
 *  the next keeping page takes over unless something newer was stored. */
export class TabKeeper {
  private db: IDBDatabase | null = null;
  private db0: Promise<IDBDatabase> | null = null;
  private readonly id = `${Date.now().toString(36)}.${Math.random().toString(36).slice(2)}`;
  private serial = 0;
  /** The stored version this page read or last wrote. */
  private base: unknown = undefined;
  private keeping = false;
  private locked = false;
  private release: (() => void) | null = null;
  /** The state of the write under way, if any, and the newest one waiting. */
  private writing: Workbench | null = null;
  private next: Workbench | null = null;
  private told = false;
  /** What this page put into the journal on leaving. */
  private journaled: Workbench | null = null;
  /** Told once per page, when the programs are not or no longer kept. */
  onTrouble: (t: Trouble) => void = () => undefined;

  private database(): Promise<IDBDatabase> {
    this.db0 ??= open();
    return this.db0;
  }

  private trouble(t: Trouble): void {
    if (this.told) return;
    this.told = true;
    this.onTrouble(t);
  }

  /** Waits (briefly) for the lock; true when this page got it. */
  private own(): Promise<boolean> {
    const locks = (navigator as { locks?: LockManager }).locks;
    if (!locks) return Promise.resolve(true);
    let wait = LockWait;
    try {
      if (sessionStorage.getItem(HeldKey)) wait = SuccessorWait;
      sessionStorage.removeItem(HeldKey);
    } catch { /* no session storage: the short wait */ }
    return new Promise((resolve) => {
      const stop = new AbortController();
      const timer = setTimeout(() => stop.abort(), wait);
      locks.request(LockName, { signal: stop.signal }, () => {
        clearTimeout(timer);
        this.locked = true;
        resolve(true);
        return new Promise<void>((r) => { this.release = r; });
      }).catch(() => resolve(false));
    });
  }

  /** Reads the kept workbench (null when there is none or it cannot be
   *  read) and decides whether this page keeps it from now on. */
  async load(): Promise<Workbench | null> {
    const owner = await this.own();
    try {
      const db = await this.database();
      const [tabs, version] = await new Promise<[unknown, unknown]>((resolve, reject) => {
        const tx = db.transaction(Store);
        const s = tx.objectStore(Store);
        const t = s.get(Key), v = s.get(VersionKey);
        tx.oncomplete = () => resolve([t.result, v.result]);
        tx.onerror = tx.onabort = () => reject(tx.error ?? new Error("IndexedDB"));
      });
      this.db = db;
      this.base = version;
      let kept = (tabs as Workbench | undefined) ?? null;
      if (owner) {
        this.keeping = true;
        // Shared Chromebooks evict storage under pressure; ask to be spared.
        const storage = navigator.storage;
        if (storage?.persist) void storage.persisted().then((p) => p || storage.persist()).catch(() => undefined);
        const j = takeJournal(version, kept);
        if (j) { kept = j; this.keep(j); }
      } else {
        this.trouble("elsewhere");
      }
      return kept;
    } catch {
      this.letGo();
      this.trouble("unavailable");
      return null;
    }
  }

  /** The five most recently saved files (browsers with file handles only). */
  async recent(): Promise<RecentFile[]> {
    try {
      return ((await get(await this.database(), RecentKey)) as RecentFile[] | undefined) ?? [];
    } catch {
      return [];
    }
  }

  /** Puts a newly saved file on top; one already listed keeps its place,
   *  as on the desktop. Each change reads the list the one before wrote, so
   *  saves finishing together all reach it. */
  addRecent(file: RecentFile): Promise<RecentFile[]> {
    const next = this.recentChanges.then(() => this.putRecent(file));
    this.recentChanges = next.catch(() => undefined);
    return next;
  }

  private recentChanges: Promise<unknown> = Promise.resolve();

  private async putRecent(file: RecentFile): Promise<RecentFile[]> {
    const list = await this.recent();
    for (const r of list) if (await r.handle.isSameEntry(file.handle)) return list;
    const next = [file, ...list].slice(0, 5);
    await put(await this.database(), RecentKey, next);
    return next;
  }

  keep(state: Workbench): void {
    if (!this.keeping) return;
    this.next = state;
    if (!this.writing) this.drain();
  }

  /** The page is going (or into the back/forward cache): a waiting write
   *  goes now, and what is not surely written yet goes to the journal too
   *  (Chromium drops an IndexedDB write of a large value still on its way
   *  when the page goes); then this page keeps nothing more and lets others
   *  have the lock. */
  leave(): void {
    const last = this.keeping ? this.next : null;
    const newest = last ?? (this.keeping ? this.writing : null);
    if (newest) {
      writeJournal({ after: this.base, by: this.id, state: newest });
      this.journaled = newest;
    }
    this.next = null;
    // Unchecked only while holding the lock: no other page writes then, and
    // the check would need a round trip the leaving page may not get.
    if (last) void this.write(last, !this.locked);
    this.keeping = false;
    if (this.locked) try { sessionStorage.setItem(HeldKey, "1"); } catch { /* the short wait then */ }
    this.letGo();
  }

  private letGo(): void {
    this.release?.();
    this.release = null;
    this.locked = false;
  }

  /** Resolves once everything asked for is written. */
  async settled(): Promise<void> {
    while (this.writing || this.next) await new Promise((r) => setTimeout(r, 5));
    await this.recentChanges;
  }

  private drain(): void {
    const s = this.next;
    if (!s || !this.keeping) { this.next = null; return; }
    this.next = null;
    this.writing = s;
    void this.write(s, !this.locked).then(() => {
      this.writing = null;
      this.drain();
    });
  }

  /** One write of the workbench and its new version; `checked` puts it only
   *  over the version this page knows. */
  private write(state: Workbench, checked: boolean): Promise<void> {
    const version = `${this.id}.${++this.serial}`;
    return new Promise((resolve) => {
      let behind = false;
      try {
        const tx = this.db!.transaction(Store, "readwrite");
        const s = tx.objectStore(Store);
        const putAll = () => {
          s.put(state, Key);
          s.put(version, VersionKey);
          tx.commit?.();
        };
        tx.oncomplete = () => {
          this.base = version;
          // An older write ending after the journal leaves the journal be.
          if (!this.journaled || this.journaled === state) dropJournal();
          resolve();
        };
        tx.onabort = () => {
          if (behind) { this.keeping = false; this.letGo(); this.trouble("overtaken"); }
          else this.failed(tx.error);
          resolve();
        };
        if (!checked) { putAll(); return; }
        const r = s.get(VersionKey);
        r.onsuccess = () => {
          if (r.result !== this.base) { behind = true; tx.abort(); return; }
          try { putAll(); } catch (e) { this.failed(e); tx.abort(); }
        };
      } catch (e) {
        this.failed(e);
        resolve();
      }
    });
  }

  /** Removes everything this site keeps in the browser: the kept tabs, the
   *  recent-files list, the options, the journal and the reload marks. This
   *  page keeps nothing from then on (nor on leaving) and lets the lock go. A
   *  write still under way was queued before the clearing and ends first. */
  async forget(): Promise<void> {
    this.keeping = false;
    this.next = null;
    this.journaled = null;
    this.letGo();
    for (const k of [JournalKey, OptionsKey]) try { localStorage.removeItem(k); } catch { /* nothing kept there */ }
    for (const k of [HeldKey, "tarko.isolating"]) try { sessionStorage.removeItem(k); } catch { /* nothing kept there */ }
    try {
      const db = await this.database();
      await new Promise<void>((resolve, reject) => {
        const tx = db.transaction(Store, "readwrite");
        tx.objectStore(Store).clear();
        tx.oncomplete = () => resolve();
        tx.onerror = tx.onabort = () => reject(tx.error ?? new Error("IndexedDB"));
      });
    } catch { /* no database: nothing kept there */ }
  }

  /** Another page forgot everything: keep nothing more, write nothing back. */
  stopKeeping(): void {
    this.keeping = false;
    this.next = null;
    this.journaled = null;
    this.letGo();
  }

  private failed(e: unknown): void {
    this.trouble((e as { name?: string } | null)?.name === "QuotaExceededError" ? "full" : "unavailable");
  }
}

export interface Options { tabs: number; autoTab: boolean; autoFormat: boolean; contrast: boolean }
const Defaults: Options = { tabs: 2, autoTab: true, autoFormat: true, contrast: false };
const OptionsKey = "tarko.options";

/** A tab width the options accept: a whole number from 1 to 99. */
export function isTabWidth(n: unknown): n is number {
  return Number.isInteger(n) && (n as number) > 0 && (n as number) < 100;
}

export function loadOptions(): Options {
  try {
    const raw = JSON.parse(localStorage.getItem(OptionsKey) ?? "{}") as Partial<Options>;
    return {
      tabs: isTabWidth(raw.tabs) ? raw.tabs : Defaults.tabs,
      autoTab: typeof raw.autoTab === "boolean" ? raw.autoTab : Defaults.autoTab,
      autoFormat: typeof raw.autoFormat === "boolean" ? raw.autoFormat : Defaults.autoFormat,
      contrast: typeof raw.contrast === "boolean" ? raw.contrast : Defaults.contrast,
    };
  } catch {
    return { ...Defaults };
  }
}

export function saveOptions(o: Options): void {
  try { localStorage.setItem(OptionsKey, JSON.stringify(o)); } catch { /* private mode: defaults next time */ }
}
