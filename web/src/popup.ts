// A pop-up menu of buttons: opened at a point (the mouse, or the caret for
// Shift+F10 and the menu key), walked with the arrow keys, closed by Esc,
// Tab or a click elsewhere; the focus goes back where it came from.
export class PopupMenu {
  readonly el: HTMLDivElement;
  private returnTo: HTMLElement | null = null;

  constructor(id: string, label?: string) {
    this.el = document.createElement("div");
    this.el.id = id;
    this.el.className = "popup";
    this.el.setAttribute("role", "menu");
    if (label) this.el.setAttribute("aria-label", label);
    this.el.hidden = true;
    document.body.appendChild(this.el);
    this.el.addEventListener("keydown", (e) => this.key(e));
    document.addEventListener("pointerdown", (e) => { if (!this.el.hidden && !this.el.contains(e.target as Node)) this.el.hidden = true; });
  }

  get isOpen(): boolean { return !this.el.hidden; }

  /** An entry; `shortcut` ("Alt+E") is shown and told, not bound here. */
  item(caption: string, act: () => void, shortcut?: string): void {
    const b = document.createElement("button");
    b.setAttribute("role", "menuitem");
    b.textContent = caption;
    if (shortcut) {
      b.setAttribute("aria-keyshortcuts", shortcut);
      const k = document.createElement("span");
      k.className = "key";
      k.setAttribute("aria-hidden", "true");
      k.textContent = shortcut;
      b.appendChild(k);
    }
    b.addEventListener("click", () => { this.close(); act(); });
    b.addEventListener("pointermove", () => { if (document.activeElement !== b) b.focus(); });
    this.el.appendChild(b);
  }

  separator(): void {
    const s = document.createElement("div");
    s.setAttribute("role", "separator");
    this.el.appendChild(s);
  }

  show(x: number, y: number, from: HTMLElement): void {
    this.returnTo = from;
    this.el.hidden = false;
    this.el.style.left = `${Math.max(0, Math.min(x, innerWidth - this.el.offsetWidth))}px`;
    this.el.style.top = `${Math.max(0, Math.min(y, innerHeight - this.el.offsetHeight))}px`;
    this.items()[0]?.focus();
  }

  close(): void {
    this.el.hidden = true;
    this.returnTo?.focus();
  }

  private items(): HTMLElement[] { return Array.from(this.el.querySelectorAll<HTMLElement>("[role=menuitem]")); }

  private key(e: KeyboardEvent): void {
    const items = this.items();
    const at = items.indexOf(document.activeElement as HTMLElement);
    const go = (i: number) => items[(i + items.length) % items.length]!.focus();
    if (e.key === "Escape" || e.key === "Tab") this.close();
    else if (e.key === "ArrowDown") go(at + 1);
    else if (e.key === "ArrowUp") go(at < 0 ? -1 : at - 1);
    else if (e.key === "Home") go(0);
    else if (e.key === "End") go(-1);
    else return;
    e.preventDefault();
    e.stopPropagation();
  }
}

/** Opens `menu` on a right-click of `target`, and from the keyboard with
 *  Shift+F10 or the menu key at the point `keyPoint` gives; `may` refuses. */
export function openOn(target: HTMLElement, menu: PopupMenu, keyPoint: () => [number, number], may: () => boolean = () => true): void {
  target.addEventListener("contextmenu", (e) => {
    if (!may()) return;
    e.preventDefault();
    // A menu key seen as keydown has opened it already.
    if (menu.isOpen) return;
    const [x, y] = e.button === 2 && (e.clientX || e.clientY) ? [e.clientX, e.clientY] : keyPoint();
    menu.show(x, y, target);
  });
  target.addEventListener("keydown", (e) => {
    if (!(e.key === "ContextMenu" || (e.shiftKey && e.key === "F10")) || !may()) return;
    e.preventDefault();
    e.stopPropagation();
    const [x, y] = keyPoint();
    menu.show(x, y, target);
  });
}
