// The context menu of the device's screen: save the image as PNG (a
// download), copy the console's text. Shift+F10 or the menu key opens it
// from the keyboard.
import { download } from "./files";

export function screenMenu(targets: HTMLElement[], pngName: () => string, image: HTMLCanvasElement, consoleText: () => string): void {
  const menu = document.createElement("div");
  menu.id = "ScreenMenu";
  menu.setAttribute("role", "menu");
  menu.hidden = true;
  document.body.appendChild(menu);
  const item = (caption: string, act: () => void) => {
    const b = document.createElement("button");
    b.setAttribute("role", "menuitem");
    b.textContent = caption;
    b.addEventListener("click", () => { close(); act(); });
    menu.appendChild(b);
  };
  let returnTo: HTMLElement | null = null;
  const close = () => { menu.hidden = true; returnTo?.focus(); };
  item("Bild speichern unter...", () => image.toBlob((blob) => { if (blob) download(blob, pngName(), "image/png"); }, "image/png"));
  item("Ausgabe kopieren", () => void navigator.clipboard.writeText(consoleText().replace(/\n/g, "\r\n")).catch(() => undefined));
  const show = (x: number, y: number, from: HTMLElement) => {
    returnTo = from;
    menu.hidden = false;
    menu.style.left = `${Math.min(x, innerWidth - menu.offsetWidth)}px`;
    menu.style.top = `${Math.min(y, innerHeight - menu.offsetHeight)}px`;
    (menu.firstElementChild as HTMLElement).focus();
  };
  for (const t of targets) {
    t.addEventListener("contextmenu", (e) => { e.preventDefault(); show(e.clientX, e.clientY, t); });
    t.addEventListener("keydown", (e) => {
      if (e.key === "ContextMenu" || (e.shiftKey && e.key === "F10")) {
        e.preventDefault();
        const r = t.getBoundingClientRect();
        show(r.left + 10, r.top + 10, t);
      }
    });
  }
  menu.addEventListener("keydown", (e) => {
    const items = Array.from(menu.children) as HTMLElement[];
    const at = items.indexOf(document.activeElement as HTMLElement);
    if (e.key === "Escape") { e.preventDefault(); e.stopPropagation(); close(); }
    else if (e.key === "ArrowDown" || e.key === "ArrowUp") {
      e.preventDefault();
      items[(at + (e.key === "ArrowDown" ? 1 : items.length - 1)) % items.length]!.focus();
    }
  });
  document.addEventListener("pointerdown", (e) => { if (!menu.hidden && !menu.contains(e.target as Node)) menu.hidden = true; });
}
