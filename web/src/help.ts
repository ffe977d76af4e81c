// The help page: each example can be opened in the workbench (in the
// browser tab that opened the help) as a new program.
const channel = new BroadcastChannel("tarko");
for (const b of Array.from(document.querySelectorAll<HTMLButtonElement>("button[data-example]"))) {
  b.addEventListener("click", () => {
    const code = b.closest("figure")?.querySelector("code")?.textContent ?? "";
    channel.postMessage({ type: "example", text: code });
  });
}
