#!/usr/bin/python3
# Prints the figures a change to start-up, idle or saving is judged by, from
# the JSON results `make bench` writes, next to the bare Qt tray program run
# in the same session and the target each must hold.
#   scripts/bench-table.py <folder with bench_*.json>
import json
import os
import platform
import sys

folder = sys.argv[1]
counters = {}
for name in sorted(os.listdir(folder)):
    if name.endswith(".json"):
        with open(os.path.join(folder, name)) as results:
            for run in json.load(results).get("benchmarks", []):
                counters.update({k: v for k, v in run.items() if isinstance(v, (int, float))})
                counters[run["name"] + ".real_time"] = run.get("real_time", 0)
                counters[run["name"] + ".time_unit"] = run.get("time_unit", "")


def get(key):
    return counters.get(key)


def ms(value):
    return "—" if value is None else f"{value:.1f} ms"


def plain(value, unit=""):
    return "—" if value is None else f"{value:g}{unit}"


def ratio(ours, floor):
    return "" if ours is None or not floor else f"{ours / floor:.2f}×"


def check(value, limit):
    return "" if value is None else ("holds" if value <= limit else "MISSED")


save = get("BM_HistoryAdd.real_time")
if save is not None:
    save /= {"ns": 1e6, "us": 1e3, "ms": 1.0}.get(get("BM_HistoryAdd.time_unit"), 1.0)
icon, idle = get("tolvanis_icon_ms"), get("tolvanis_idle_ms")
floor_icon, floor_idle = get("floor_icon_ms"), get("floor_idle_ms")
pss, floor_pss = get("tolvanis_pss_MB"), get("floor_pss_MB")
click_median, click_first = get("tolvanis_click_median_ms"), get("tolvanis_click_first_ms")
rows = [
    ("exec → icon embedded", ms(floor_icon), ms(icon), ratio(icon, floor_icon), "≤ 1.3×",
     check(icon / floor_icon if icon and floor_icon else None, 1.3)),
    ("exec → idle", ms(floor_idle), ms(idle), ratio(idle, floor_idle), "≤ 1.3×",
     check(idle / floor_idle if idle and floor_idle else None, 1.3)),
    ("context switches in 30 s idle, fresh", plain(get("floor_ctxsw_30s")), plain(get("tolvanis_ctxsw_30s")), "",
     "≤ 2", check(get("tolvanis_ctxsw_30s"), 2)),
    ("context switches in 30 s idle, after use", "—", plain(get("tolvanis_ctxsw_30s_after_use")), "", "≤ 2",
     check(get("tolvanis_ctxsw_30s_after_use"), 2)),
    ("idle PSS", plain(floor_pss and round(floor_pss, 1), " MB"), plain(pss and round(pss, 1), " MB"),
     ratio(pss, floor_pss), "≤ 16 MB", check(pss, 16)),
    ("history save (GUI thread)", "", "—" if save is None else f"{save:.3f} ms", "", "≤ 0.5 ms", check(save, 0.5)),
    ("click → panel mapped, median / first",
     f"{ms(get('floor_click_median_ms'))} / {ms(get('floor_click_first_ms'))}",
     f"{ms(click_median)} / {ms(click_first)}", "", "≤ 16 ms",
     check(max(click_median, click_first) if click_median is not None else None, 16)),
]
with open("/proc/cpuinfo") as cpuinfo:
    model = next((line.split(":", 1)[1].strip() for line in cpuinfo if line.startswith("model name")), "?")
print(f"\n{model}, {os.cpu_count()} cores, {platform.release()}, load {os.getloadavg()[0]:.1f}\n")
print("| figure | floor | tolvanis | ratio | target | |")
print("|---|---|---|---|---|---|")
for row in rows:
    print("| " + " | ".join(row) + " |")
