#include <string>

#include "platform/status/status_server.h"

namespace chimeon {

// Every text from the tables goes in through textContent, never as markup.
const std::string& StatusPageHtml() {
    static const std::string html = R"HTML(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Chimeon 广播状态</title>
<style>
body { font-family: sans-serif; margin: 0; padding: 0.5em; background: #f4f4f4; color: #222; }
h1 { font-size: 1.3em; margin: 0.2em 0; }
h2 { font-size: 1.1em; margin: 0.8em 0 0.3em; }
section { background: #fff; border-radius: 6px; padding: 0.5em; margin-bottom: 0.6em; }
table { border-collapse: collapse; width: 100%; font-size: 0.95em; }
th, td { border-bottom: 1px solid #ddd; padding: 0.3em; text-align: left; }
.wrap { overflow-x: auto; }
.bad { color: #b00; font-weight: bold; }
.ok { color: #070; }
.playing { background: #e6f4ff; }
.next { background: #fff6d6; }
#notices li { color: #b00; }
#stale { color: #b00; display: none; }
</style>
</head>
<body>
<h1>Chimeon 广播状态</h1>
<section>
<div id="status">正在读取…</div>
<div>下一个：<span id="next">—</span></div>
<div id="clock"></div>
<div>更新于 <span id="updated">—</span> <span id="stale">（连接中断，显示的是旧数据）</span></div>
</section>
<section><h2>提醒</h2><ul id="notices"></ul></section>
<section><h2>今天的节目表</h2><div class="wrap"><table>
<thead><tr><th>#</th><th>开始</th><th>节目</th><th>状态</th><th>结果</th></tr></thead>
<tbody id="rows"></tbody></table></div></section>
<section><h2>分区（网络输出）</h2><div id="zones"></div></section>
<section><h2>最近的播放记录</h2><div class="wrap"><table>
<thead><tr><th>时间</th><th>事件</th><th>节目</th><th>说明</th></tr></thead>
<tbody id="events"></tbody></table></div></section>
<script>
"use strict";
const outcomes = { failed: "失败", silent: "无声", played: "已播", "": "" };
const kinds = { start: "开始", end: "结束", failure: "失败" };
function cell(row, text, cls) {
  const td = document.createElement("td");
  td.textContent = text;
  if (cls) td.className = cls;
  row.appendChild(td);
  return td;
}
function fill(id, items, make) {
  const body = document.getElementById(id);
  body.replaceChildren();
  for (const item of items) body.appendChild(make(item));
}
function show(s) {
  document.getElementById("status").textContent = s.status;
  document.getElementById("next").textContent = s.next ? s.next.start + " " + s.next.title : "今天没有了";
  const clock = document.getElementById("clock");
  clock.textContent = s.clock.text;
  clock.className = s.clock.ok ? "ok" : "bad";
  document.getElementById("updated").textContent = s.updated;
  fill("notices", s.notices.length ? s.notices : ["没有"], n => {
    const li = document.createElement("li");
    li.textContent = n;
    if (!s.notices.length) li.style.color = "#070";
    return li;
  });
  fill("rows", s.rows, r => {
    const tr = document.createElement("tr");
    tr.className = r.state === "正播" ? "playing" : (r.next ? "next" : "");
    cell(tr, r.row); cell(tr, r.start); cell(tr, r.title);
    cell(tr, r.state + (r.next ? "（下一个）" : ""));
    cell(tr, outcomes[r.outcome] || "", r.outcome === "failed" || r.outcome === "silent" ? "bad" : "");
    return tr;
  });
  const zones = document.getElementById("zones");
  if (!s.network) {
    zones.textContent = "未配置网络输出";
  } else {
    zones.replaceChildren();
    const line = (text, good) => {
      const div = document.createElement("div");
      div.textContent = text;
      div.className = good ? "ok" : "bad";
      zones.appendChild(div);
    };
    if (s.network.problem) line(s.network.problem, false);
    if (!s.zones.length) line("服务器没有报告分区", !!s.network.control_connected);
    for (const z of s.zones) {
      for (const c of z.clients) {
        const muted = c.muted || z.muted || c.volume === 0;
        const seen = c.last_seen > 0 ? new Date(c.last_seen * 1000).toLocaleString("zh-CN") : "从未";
        line(z.zone + "：" + c.name + (c.connected ? " 在线" : " 离线，最后一次联系 " + seen) +
          "，音量 " + c.volume + "%" + (muted ? "（静音）" : "") + "，延迟 " + c.latency_ms +
          " 毫秒" + (z.ours ? "" : "（播放其他流）"), !z.ours || (c.connected && !muted));
      }
    }
  }
  fill("events", s.events, e => {
    const tr = document.createElement("tr");
    const mark = e.failed ? "bad" : (e.silent ? "bad" : "");
    cell(tr, e.date + " " + e.time);
    cell(tr, (kinds[e.kind] || e.kind) + (e.silent ? "（无声）" : ""), mark);
    cell(tr, e.title);
    let why = e.reason || e.cause;
    if (e.lateness_ms !== null) why += "，迟 " + e.lateness_ms + " 毫秒";
    if (e.level) why += "，峰值 " + e.level.peak_db.toFixed(1) + " dB";
    cell(tr, why, mark);
    return tr;
  });
}
async function poll() {
  try {
    const answer = await fetch("/api/status", { cache: "no-store" });
    if (!answer.ok) throw new Error(answer.status);
    show(await answer.json());
    document.getElementById("stale").style.display = "none";
  } catch (e) {
    document.getElementById("stale").style.display = "inline";
  }
  setTimeout(poll, 2000);
}
poll();
</script>
</body>
</html>
)HTML";
    return html;
}

}  // namespace chimeon
