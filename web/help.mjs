// The help page, from the README's sections on the language and graphics
// (one source for both editions), with the keys of the browser edition.
const Sections = ["Das erste Programm", "Die Sprache", "Grafik"];

const esc = (s) => s.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
const inline = (s) => esc(s).replace(/`([^`]+)`/g, "<code>$1</code>").replace(/\*\*([^*]+)\*\*/g, "<strong>$1</strong>");

function toHtml(md) {
  const out = [];
  const lines = md.split("\n");
  for (let i = 0; i < lines.length; i++) {
    const l = lines[i];
    const fence = /^(\s*)```(\w*)/.exec(l);
    if (fence) {
      const body = [];
      const indent = fence[1].length;
      while (++i < lines.length && !lines[i].trimStart().startsWith("```")) body.push(lines[i].slice(Math.min(indent, /^\s*/.exec(lines[i])[0].length)));
      const code = `<pre><code>${esc(body.join("\n"))}</code></pre>`;
      if (fence[2] === "tarko") out.push(`<figure>${code}<button type="button" data-example>Im Editor öffnen</button></figure>`);
      else out.push(fence[2] === "ausgabe" ? `<pre class="ausgabe" role="figure" aria-label="Ausgabe">${esc(body.join("\n"))}</pre>` : code);
    } else if (/^#{2,4} /.test(l)) {
      const n = /^#+/.exec(l)[0].length;
      out.push(`<h${n}>${inline(l.slice(n + 1))}</h${n}>`);
    } else if (l.startsWith("|")) {
      const rows = [];
      for (; i < lines.length && lines[i].startsWith("|"); i++) rows.push(lines[i]);
      i--;
      const cells = (r) => r.slice(1, -1).split("|").map((c) => c.trim());
      const head = cells(rows[0]).map((c) => `<th>${inline(c)}</th>`).join("");
      const body = rows.slice(2).map((r) => `<tr>${cells(r).map((c) => `<td>${inline(c)}</td>`).join("")}</tr>`).join("");
      out.push(`<table><thead><tr>${head}</tr></thead><tbody>${body}</tbody></table>`);
    } else if (/^([-*]|\d+\.) /.test(l)) {
      // A list item runs on over its indented lines.
      const item = [l.replace(/^([-*]|\d+\.) /, "")];
      while (i + 1 < lines.length && /^ {2,}\S/.test(lines[i + 1]) && !/^\s*```/.test(lines[i + 1])) item.push(lines[++i].trim());
      const tag = /^\d/.test(l) ? "ol" : "ul";
      const last = out[out.length - 1];
      const li = `<li value="${/^\d+/.exec(l)?.[0] ?? ""}">${inline(item.join(" "))}</li>`;
      if (last?.startsWith(`<${tag}>`)) out[out.length - 1] = last.replace(`</${tag}>`, `${li}</${tag}>`);
      else out.push(`<${tag}>${li}</${tag}>`);
    } else if (l.trim()) {
      const para = [l];
      while (i + 1 < lines.length && lines[i + 1].trim() && !/^(\s*```|#|\||[-*] |\d+\. )/.test(lines[i + 1])) para.push(lines[++i]);
      out.push(`<p>${inline(para.join(" "))}</p>`);
    }
  }
  return out.join("\n");
}

function sections(readme) {
  const parts = readme.split(/^(?=## )/m);
  return parts.filter((p) => Sections.some((s) => p.startsWith(`## ${s}`))).join("\n");
}

// The README names the desktop's menus; the browser has none and keeps
// Ctrl+N for a new window of its own. Each pair: the README's words, the
// browser's ways instead.
const BrowserWays = [
  ["1. **Datei → Neu** (Strg+N) öffnet einen leeren Karteireiter.",
    "1. **Neue Datei** (Alt+N oder der erste Knopf der Werkzeugleiste) öffnet einen leeren Karteireiter."],
  ["Ist kein Programm offen, nennt der\nEditorbereich Strg+N und die Beispielprogramme.",
    "Ist kein Programm offen, beginnt\nAlt+N ein neues."],
  ["**Datei → Beispielprogramm öffnen** lädt vier fertige Programme",
    "Die Liste **Beispielprogramm öffnen** in der Werkzeugleiste lädt vier fertige Programme"],
];

/** The sections with the browser's ways; a README that changed under them
 *  stops the build rather than tell browser users of a menu they lack. */
function forBrowser(md) {
  for (const [desktop, browser] of BrowserWays) {
    if (!md.includes(desktop)) throw new Error(`hilfe.html: „${desktop}“ steht nicht mehr in README.md`);
    md = md.replace(desktop, browser);
  }
  const menu = /\*\*Datei →[^*]*\*\*|Strg\+N/.exec(md);
  if (menu) throw new Error(`hilfe.html: „${menu[0]}“ gibt es im Browser nicht`);
  return md;
}

const Keys = `## Tasten im Browser

| Taste | Wirkung |
|---|---|
| F9 | Programm starten |
| Strg+F9 | Einzelschritt; jedes weitere Strg+F9 führt einen Befehl aus |
| Esc | laufendes Programm abbrechen |
| F1 | diese Hilfe |
| Alt+N | neues Programm (Strg+N behält der Browser für ein neues Fenster) |
| Strg+O, Strg+S | Programm öffnen, speichern |
| Alt+C | Karteireiter schließen (Strg+W behält der Browser für seinen eigenen Tab) |
| Pfeil links, rechts | auf einem Karteireiter: voriges, nächstes Programm (Strg+Tab behält der Browser) |
| Strg+Z, Alt+Rücktaste | rückgängig |
| Strg+F, Strg+R | Suchen, Ersetzen |
| F3 | weitersuchen mit dem zuletzt gesuchten Text |
| Strg+Y | Zeile der Schreibmarke löschen |
| Alt+A, Alt+E, Alt+W, … | Befehl einfügen, dieselben Tasten wie auf dem Desktop |
| Strg+Plus, Strg+Minus | alles größer oder kleiner zeigen, etwa für den Beamer (der Zoom des Browsers) |
| Umschalt+F10 | auf dem Bildschirm des Geräts: „Bild speichern unter...“ (als Download) und „Ausgabe kopieren“ |
| Strg+M | Tabulatortaste wechselt zwischen Einrücken und dem nächsten Bedienelement |
| Esc, dann Tab | im Editor: zum nächsten Bedienelement (Tab allein fügt einen Tabulator ein) |
| Umschalt+Tab | im Editor: zur „Ausgabe des Programms“; dort: zum Karteireiter des Programms |

Der Browser behält Strg+N, Strg+W und Strg+Tab für sich; dafür gibt es die Knöpfe
„Neue Datei“ und „Schließen“ und die Tasten oben. Während einer \`Eingabe\` nehmen die
Ziffern, \`,\`, \`-\`, die Rücktaste (wie „C“) und die Eingabetaste (wie „OK“) die Stelle
der Gerätetasten ein.

Mit einem Bildschirmleser: Beginnt eine \`Eingabe\`, bekommt ein Eingabefeld den Fokus,
das die Frage nennt; Ziffern, Rücktaste und Eingabetaste gehen von dort ins Gerät. Die
Ausgabe des Programms wird gesammelt angesagt: wenn eine \`Eingabe\` beginnt, wenn das
Programm eine Weile nichts ausgibt, spätestens alle zwei Sekunden und am Ende des Laufs;
von vielen Zeilen auf einmal nur die letzten zehn. Nachlesen lässt sie sich in der
„Ausgabe des Programms“ (Umschalt+Tab aus dem Editor). Strg+F9 gibt den Fokus dem
Bereich „Einzelschritt“; dort führt die Leertaste den nächsten Befehl aus.
„Kontrastreiche Farben“ in den Optionen wählt dunklere Farbtöne für den Editor und die
Meldungszeile.

Alle Programme bleiben im Browser gespeichert, auch nach dem Schließen des Tabs.
Tarko im Browser schickt nichts an einen anderen Rechner. „Alles in diesem Browser
löschen“ in den Optionen entfernt alles, was Tarko im Browser aufbewahrt (die
Karteireiter, die zuletzt gespeicherten Dateien, die Optionen).

„Link kopieren“ (im Dialog „Optionen“) legt einen Link mit dem Programm in die Zwischenablage; das Programm
steht im Link hinter \`#\` und geht nie an einen Server. Wer ihn öffnet, bekommt eine
ungespeicherte Kopie in einem neuen Karteireiter, die nicht von selbst startet. Ein Link
fasst Programme bis 64 KB Linklänge (einige tausend Zeilen). „Link als QR-Code“ zeigt
ihn für den Beamer; ein QR-Code fasst nur etwa 4 KB Programmtext (rund 150 bis 200
Zeilen), für längere Programme sagt Tarko das, und man gibt den Link oder die Datei weiter.
`;

export function helpPage(readme) {
  return `<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; base-uri 'none'">
<title>Tarko - Hilfe</title>
<link rel="stylesheet" href="hilfe.css">
<script src="hilfe.js" defer></script>
</head>
<body>
<main>
<h1>Tarko - Hilfe</h1>
${toHtml(forBrowser(sections(readme)))}
${toHtml(Keys)}
</main>
</body>
</html>
`;
}
