#include "outlets/status_page.h"

#include <string_view>

namespace zentra::outlets {
namespace {

constexpr std::string_view kHead = R"page(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>zentra-log: live readings</title>
<style>
body { font-family: system-ui, sans-serif; margin: 0; background: #f3f4f6; color: #111827; }
header { background: #1f2937; color: #f9fafb; padding: 0.6em 1em; display: flex;
         justify-content: space-between; align-items: baseline; flex-wrap: wrap; }
header h1 { font-size: 1.1em; margin: 0; }
#clock { font-size: 0.9em; opacity: 0.8; }
main { display: grid; grid-template-columns: repeat(auto-fill, minmax(20em, 1fr));
       gap: 0.8em; padding: 0.8em; }
.meter { background: #fff; border-radius: 0.5em; padding: 0.8em; box-shadow: 0 1px 3px #0002; }
.meter h2 { font-size: 1.1em; margin: 0 0 0.2em; display: flex; justify-content: space-between; }
.ident { font-size: 0.8em; color: #4b5563; margin-bottom: 0.6em; }
.state { font-size: 0.75em; padding: 0.1em 0.5em; border-radius: 1em; color: #fff; }
.answering { background: #15803d; } .silent { background: #b91c1c; } .starting { background: #6b7280; }
.main { display: grid; grid-template-columns: repeat(3, 1fr); gap: 0.4em; }
.big { background: #f9fafb; border-radius: 0.3em; padding: 0.3em; text-align: center; }
.big .v { font-size: 1.3em; font-variant-numeric: tabular-nums; white-space: nowrap; }
.big .u { font-size: 0.65em; margin-left: 0.2em; color: #374151; }
.big .l { font-size: 0.75em; color: #4b5563; }
.progress { margin: 0.6em 0 0.2em; height: 0.5em; background: #e5e7eb; border-radius: 0.3em; }
.progress div { height: 100%; background: #2563eb; border-radius: 0.3em; }
.small { font-size: 0.8em; color: #374151; overflow-wrap: anywhere; }
details { margin-top: 0.5em; font-size: 0.85em; }
table { border-collapse: collapse; width: 100%; }
td { padding: 0.1em 0.3em; border-bottom: 1px solid #f3f4f6; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
.stale { color: #b91c1c; }
</style>
</head>
<body>
<header><h1>zentra-log: live readings</h1><span id="clock"></span></header>
<main id="meters"><p>No meter yet.</p></main>
<script id="initial" type="application/json">)page";

constexpr std::string_view kTail = R"page(</script>
<script>
"use strict";
const MAIN = ["kw_sum", "v_l1_2", "v_1", "i_1", "pf_avg", "hz", "kwhr_imp", "kva_sum"];
function text(tag, cls, content) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (content !== undefined) e.textContent = content;
  return e;
}
function shown(r) {
  if (r.value === null) return "\u2013";
  const a = Math.abs(r.value);
  const digits = a >= 1000 ? 1 : a >= 100 ? 2 : 3;
  return r.value.toFixed(digits);
}
function card(m) {
  const c = text("section", "meter");
  const h = text("h2", "", m.name);
  const states = { answering: "answering", silent: "not answering", starting: "starting" };
  h.appendChild(text("span", "state " + m.link_state, states[m.link_state] || m.link_state));
  c.appendChild(h);
  const ident = [m.link + " node " + m.node];
  if (m.model) ident.push("model " + m.model);
  if (m.version) ident.push("version " + m.version);
  if (m.serial) ident.push("serial " + m.serial);
  c.appendChild(text("div", "ident", ident.join(" \u00b7 ")));
  const byKey = {};
  for (const r of m.readings) byKey[r.key] = r;
  const main = text("div", "main");
  let count = 0;
  for (const k of MAIN) {
    const r = byKey[k];
    if (!r || count >= 6) continue;
    if (k === "v_1" && byKey["v_l1_2"]) continue;
    const b = text("div", "big");
    const v = text("div", "v", shown(r));
    if (r.unit) v.appendChild(text("span", "u", r.unit));
    b.appendChild(v);
    b.appendChild(text("div", "l", r.label));
    main.appendChild(b);
    ++count;
  }
  c.appendChild(main);
  const s = m.survey;
  const p = text("div", "progress");
  const bar = document.createElement("div");
  bar.style.width = (s.samples_planned > 0 ? 100 * s.samples_logged / s.samples_planned : 0) + "%";
  p.appendChild(bar);
  c.appendChild(p);
  c.appendChild(text("div", "small", "Sample " + s.samples_logged + " of " + s.samples_planned +
                     (s.file ? " \u00b7 " + s.file : "")));
  const q = m.requests;
  const asked = q.ok + q.no_reply + q.bad_crc + q.exception + q.wrong_node;
  const health = asked ? (100 * q.ok / asked).toFixed(1) + " % answered of " + asked + " requests" +
                 " (no reply " + q.no_reply + ", bad CRC " + q.bad_crc + ", exception " +
                 q.exception + ", wrong node " + q.wrong_node + ")" : "no request yet";
  c.appendChild(text("div", "small", "Link: " + health));
  c.appendChild(text("div", "small", "Readings of " + (m.time || "\u2013")));
  const d = text("details");
  d.appendChild(text("summary", "", "All readings"));
  const t = text("table");
  for (const r of m.readings) {
    const row = text("tr");
    row.appendChild(text("td", "", r.label));
    row.appendChild(text("td", "n", shown(r) + (r.unit ? " " + r.unit : "")));
    t.appendChild(row);
  }
  d.appendChild(t);
  c.appendChild(d);
  return c;
}
let open = {};
function render(data) {
  const list = document.getElementById("meters");
  for (const d of list.querySelectorAll("details")) open[d.dataset.meter] = d.open;
  list.replaceChildren();
  if (!data.meters.length) list.appendChild(text("p", "", "No meter yet."));
  for (const m of data.meters) {
    const c = card(m);
    const d = c.querySelector("details");
    d.dataset.meter = m.name;
    d.open = !!open[m.name];
    list.appendChild(c);
  }
  let clock = "as of " + data.time;
  if (data.mqtt) clock += " \u00b7 MQTT " + (data.mqtt.connected ? "connected" : "not connected");
  document.getElementById("clock").textContent = clock;
  document.getElementById("clock").classList.remove("stale");
}
render(JSON.parse(document.getElementById("initial").textContent));
async function refresh() {
  try {
    const reply = await fetch("api/meters", { cache: "no-store" });
    if (reply.ok) render(await reply.json());
  } catch (e) {
    const c = document.getElementById("clock");
    c.textContent = "zentra-log does not answer";
    c.classList.add("stale");
  }
}
setInterval(refresh, 1000);
</script>
</body>
</html>
)page";

} // namespace

std::string StatusPage(const std::string& metersJson) {
    std::string page;
    page.reserve(kHead.size() + metersJson.size() + kTail.size() + 16);
    page += kHead;
    // Inside a script element "</script" or "<!--" would change how the page is read;
    // '<' only occurs inside JSON strings, where "\u003c" stands for it.
    for (const char c : metersJson) {
        if (c == '<')
            page += "\\u003c";
        else
            page += c;
    }
    page += kTail;
    return page;
}

} // namespace zentra::outlets
