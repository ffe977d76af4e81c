// Program files: the File System Access API where the browser has it,
// upload and download elsewhere. The bytes are those the desktop writes.
import { decode, encode, firstUnstorable, unstorableMessage } from "./cp1252";

/** A program file holds at most this many bytes (as on the desktop). */
const MaxProgramFileSize = 4 * 1024 * 1024;

/** A task file (".tarko-aufgabe", UTF-8) comes as its bytes in `task`. */
export interface OpenedFile { name: string; text: string; handle: FileSystemFileHandle | null; task?: Uint8Array }

interface PickerWindow {
  showOpenFilePicker?(o: object): Promise<FileSystemFileHandle[]>;
  showSaveFilePicker?(o: object): Promise<FileSystemFileHandle>;
}
const picker = window as unknown as PickerWindow;
const Types = [{ description: "Tarko-Programme", accept: { "text/plain": [".trk"] } }];
// Programs stay the first (default) filter; tasks are the second.
const OpenTypes = [...Types, { description: "Tarko-Aufgaben", accept: { "text/plain": [".tarko-aufgabe"] } }];
export const isTaskFile = (name: string) => /\.tarko-aufgabe$/i.test(name);

function tooLargeMessage(name: string): string {
  return `Datei ${name} kann nicht geöffnet werden: Sie ist größer als 4 MB. So große Programme kann Tarko nicht laden.`;
}

/** Reads a chosen file; a string is the German refusal. */
export async function readProgram(file: File): Promise<{ text: string } | string> {
  if (file.size > MaxProgramFileSize) return tooLargeMessage(file.name);
  return { text: decode(new Uint8Array(await file.arrayBuffer())) };
}

function chooseByUpload(): Promise<File | null> {
  const input = document.getElementById("FileInput") as HTMLInputElement;
  input.value = "";
  return new Promise((resolve) => {
    input.onchange = () => resolve(input.files?.[0] ?? null);
    input.oncancel = () => resolve(null);
    input.click();
  });
}

/** Asks for a file; null when the user cancelled, a string for a refusal. */
export async function openProgram(): Promise<OpenedFile | string | null> {
  let file: File | null;
  let handle: FileSystemFileHandle | null = null;
  if (picker.showOpenFilePicker) {
    try {
      [handle] = (await picker.showOpenFilePicker({ types: OpenTypes })) as [FileSystemFileHandle];
      file = await handle.getFile();
    } catch {
      return null;
    }
  } else {
    file = await chooseByUpload();
  }
  if (!file) return null;
  if (isTaskFile(file.name)) {
    if (file.size > MaxProgramFileSize) return tooLargeMessage(file.name);
    return { name: file.name, text: "", handle: null, task: new Uint8Array(await file.arrayBuffer()) };
  }
  const r = await readProgram(file);
  return typeof r === "string" ? r : { name: file.name, text: r.text, handle };
}

export type SaveResult = { saved: true; name: string; handle: FileSystemFileHandle | null } | { saved: false; message?: string };

/** Writes the text: into the handle, into a newly chosen file, or as a
 *  download. Characters without a Windows-1252 byte refuse the save. */
export async function saveProgram(text: string, name: string, handle: FileSystemFileHandle | null, ask: boolean): Promise<SaveResult> {
  const bad = firstUnstorable(text);
  if (bad) return { saved: false, message: unstorableMessage(bad) };
  const bytes = encode(text);
  if (!handle || ask) {
    if (picker.showSaveFilePicker) {
      try {
        handle = await picker.showSaveFilePicker({ suggestedName: name, types: Types });
      } catch {
        return { saved: false };
      }
    } else {
      download(bytes, name, "text/plain");
      return { saved: true, name, handle: null };
    }
  }
  try {
    const w = await (handle as FileSystemFileHandle & { createWritable(): Promise<FileSystemWritableFileStream> }).createWritable();
    await w.write(bytes as Uint8Array<ArrayBuffer>);
    await w.close();
  } catch {
    return { saved: false, message: `Datei ${handle.name} kann nicht erstellt werden` };
  }
  return { saved: true, name: handle.name, handle };
}

export function download(data: Uint8Array | Blob, name: string, type: string): void {
  const blob = data instanceof Blob ? data : new Blob([data as Uint8Array<ArrayBuffer>], { type });
  const url = URL.createObjectURL(blob);
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}
