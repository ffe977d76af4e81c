// The context menu of the device's screen: save the image as PNG (a
// download), copy the console's text. Shift+F10 or the menu key opens it
// from the keyboard.
import { download } from "./files";
import { openOn, PopupMenu } from "./popup";

export function screenMenu(targets: HTMLElement[], pngName: () => string, image: HTMLCanvasElement, consoleText: () => string): void {
  const menu = new PopupMenu("ScreenMenu");
  menu.item("Bild speichern unter...", () => image.toBlob((blob) => { if (blob) download(blob, pngName(), "image/png"); }, "image/png"));
  menu.item("Ausgabe kopieren", () => void navigator.clipboard.writeText(consoleText().replace(/\n/g, "\r\n")).catch(() => undefined));
  for (const t of targets) {
    openOn(t, menu, () => {
      const r = t.getBoundingClientRect();
      return [r.left + 10, r.top + 10];
    });
  }
}
