// What the browser keeps: every tab's text in IndexedDB as it is typed, the
// options in localStorage (the desktop's defaults).
import { TabState } from "./editors";

export interface Workbench { lastTab: number; active: number; tabs: (TabState & { handle?: unknown })[] }

const Db = "tarko";
const Store = "workbench";
const Key = "tabs";
const RecentKey = "recent";

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

/** Writes the newest state; a write asked for during another goes after it,
 *  so nothing typed is lost and writes never pile up. */
export class TabKeeper {
  private db: Promise<IDBDatabase> | null = null;
  private writing = false;
  private next: Workbench | null = null;

  private database(): Promise<IDBDatabase> {
    this.db ??= open();
    return this.db;
  }

  async load(): Promise<Workbench | null> {
    try {
      return ((await get(await this.database(), Key)) as Workbench | undefined) ?? null;
    } catch {
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
    this.next = state;
    if (!this.writing) void this.drain();
  }

  /** Resolves once everything asked for is written. */
  async settled(): Promise<void> {
    while (this.writing || this.next) await new Promise((r) => setTimeout(r, 5));
    await this.recentChanges;
  }

  private async drain(): Promise<void> {
    this.writing = true;
    try {
      const db = await this.database();
      while (this.next) {
        const s = this.next;
        this.next = null;
        await put(db, Key, s);
      }
    } catch {
      this.next = null;
    } finally {
      this.writing = false;
    }
  }
}

export interface Options { tabs: number; autoTab: boolean; autoFormat: boolean }
const Defaults: Options = { tabs: 2, autoTab: true, autoFormat: true };
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
    };
  } catch {
    return { ...Defaults };
  }
}

export function saveOptions(o: Options): void {
  try { localStorage.setItem(OptionsKey, JSON.stringify(o)); } catch { /* private mode: defaults next time */ }
}
