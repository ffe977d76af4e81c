// A new version of the site: the service worker of a new build has cached
// all its files and taken over this page. This document keeps running the
// version it was loaded with; the note says so and offers the reload.
import type { App } from "./main";

export const UpdateText = "Eine neue Version von Tarko ist bereit. Sie wird beim nächsten Öffnen geladen.";

export function announceUpdates(app: App): void {
  const sw = navigator.serviceWorker as ServiceWorkerContainer | undefined;
  if (!sw) return;
  // Without a controller the change is the first visit's installation, not an update.
  let controlled = sw.controller !== null;
  sw.addEventListener("controllerchange", () => {
    if (controlled) show(app);
    controlled = true;
  });
}

function show(app: App): void {
  if (document.getElementById("UpdateNote")) return;
  const note = document.createElement("div");
  note.id = "UpdateNote";
  note.setAttribute("role", "status");
  const text = document.createElement("span");
  text.textContent = UpdateText;
  const reload = document.createElement("button");
  reload.textContent = "Jetzt neu laden";
  // Every tab's text is in the browser's store once the keeper has settled,
  // so the reload asks nothing (as the first visit's isolation reload).
  reload.addEventListener("click", () => {
    reload.disabled = true;
    void app.keeper.settled().then(() => {
      app.leavingQuietly = true;
      location.reload();
    });
  });
  const close = document.createElement("button");
  close.textContent = "×";
  close.setAttribute("aria-label", "Hinweis schließen");
  close.addEventListener("click", () => note.remove());
  note.append(text, reload, close);
  document.body.appendChild(note);
}
