// The workbench's message boxes as modal <dialog>s: plain ("Tarko", OK),
// confirmation ("Bestätigung", Ja/Nein/Abbrechen) and error ("Fehler", OK).
export type Answer = "ja" | "nein" | "abbrechen" | "ok";

function show(title: string, text: string, buttons: [string, Answer][]): Promise<Answer> {
  const dlg = document.getElementById("MessageBox") as HTMLDialogElement;
  document.getElementById("MessageTitle")!.textContent = title;
  document.getElementById("MessageText")!.textContent = text;
  const row = document.getElementById("MessageButtons")!;
  row.replaceChildren();
  return new Promise((resolve) => {
    const finish = (a: Answer) => { dlg.close(); resolve(a); };
    for (const [caption, answer] of buttons) {
      const b = document.createElement("button");
      b.textContent = caption;
      b.addEventListener("click", () => finish(answer));
      row.appendChild(b);
    }
    dlg.oncancel = (e) => { e.preventDefault(); finish(buttons[buttons.length - 1]![1]); };
    dlg.showModal();
    (row.firstElementChild as HTMLElement).focus();
  });
}

export const message = (text: string) => show("Tarko", text, [["OK", "ok"]]);
export const error = (text: string) => show("Fehler", text, [["OK", "ok"]]);
export const confirm = (text: string) => show("Bestätigung", text, [["Ja", "ja"], ["Nein", "nein"], ["Abbrechen", "abbrechen"]]);
