// The desktop-shell figures of the real program, each next to a bare Qt tray
// program (traybaseline, the toolkit's floor) on the same X server:
//   - exec until the tray icon is embedded and the process has gone quiet;
//   - proportional memory (PSS) 5 s after exec;
//   - context switches of all threads over 30 s idle with the panel hidden;
//   - a click on the tray icon until the panel (340 wide, as tall as its
//     content) is mapped, first click included.
// Needs an X server with a system tray: run it through
// scripts/virtual-desktop.sh, which exports TOLVANIS_TRAY_WINDOW. Events are
// watched with XCB and clicks sent with XTest from this process, so no
// polling tool sits between the program and the clock.
//
// Targets: start-up <= 1.3x the floor; PSS <= 16 MB; <= 2 context switches in
// 30 s idle; click to panel mapped <= 16 ms.
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int panelWidth = 340;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// ---- the X side ---------------------------------------------------------

struct Event {
    uint8_t type = 0;
    xcb_window_t window = XCB_NONE;
    xcb_window_t parent = XCB_NONE; // ReparentNotify, CreateNotify
    Clock::time_point at;
};

class Display
{
public:
    static Display *instance()
    {
        static std::unique_ptr<Display> display = open();
        return display.get();
    }

    ~Display() { xcb_disconnect(m_connection); }

    xcb_window_t root() const { return m_root; }

    void flush() { xcb_flush(m_connection); }

    // Waits up to timeoutMs for an event that `accept` takes; every event is
    // stamped with the time it was read.
    template<typename Accept>
    std::optional<Event> waitFor(int timeoutMs, Accept accept)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (xcb_generic_event_t *raw = xcb_poll_for_event(m_connection)) {
                Event event = decode(raw);
                free(raw);
                if (event.type && accept(event))
                    return event;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return std::nullopt;
            pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::min<long long>(left, 50)));
        }
    }

    void drain()
    {
        waitFor(0, [](const Event &) { return false; });
    }

    bool isInTray(xcb_window_t window)
    {
        for (int depth = 0; window != XCB_NONE && window != m_root && depth < 16; ++depth) {
            if (m_traySubtree.count(window))
                return true;
            window = parentOf(window);
        }
        return false;
    }

    void watchStructure(xcb_window_t window) { selectInput(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY); }

    bool isMapped(xcb_window_t window)
    {
        auto *reply = xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window),
                                                      nullptr);
        const bool mapped = reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
        free(reply);
        return mapped;
    }

    std::optional<std::pair<int, int>> size(xcb_window_t window)
    {
        auto *reply = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
        if (!reply)
            return std::nullopt;
        std::pair<int, int> result{reply->width, reply->height};
        free(reply);
        return result;
    }

    // The window itself or one of its children (a window manager's frame
    // holds the client) has the given width.
    bool holdsWindowOfWidth(xcb_window_t window, int width)
    {
        if (size(window).value_or(std::pair{0, 0}).first == width)
            return true;
        for (xcb_window_t child : children(window)) {
            if (size(child).value_or(std::pair{0, 0}).first == width)
                return true;
        }
        return false;
    }

    std::pair<int, int> centreOnScreen(xcb_window_t window)
    {
        const auto extent = size(window).value_or(std::pair{0, 0});
        auto *reply = xcb_translate_coordinates_reply(
            m_connection,
            xcb_translate_coordinates(m_connection, window, m_root, static_cast<int16_t>(extent.first / 2),
                                      static_cast<int16_t>(extent.second / 2)),
            nullptr);
        std::pair<int, int> result{reply ? reply->dst_x : 0, reply ? reply->dst_y : 0};
        free(reply);
        return result;
    }

    void movePointer(int x, int y)
    {
        xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, static_cast<int16_t>(x),
                            static_cast<int16_t>(y), 0);
        flush();
    }

    // Press and release of the left button, sent together; returns the time
    // they left for the server.
    Clock::time_point click()
    {
        xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        const auto at = Clock::now();
        flush();
        return at;
    }

private:
    static std::unique_ptr<Display> open()
    {
        const char *tray = std::getenv("TOLVANIS_TRAY_WINDOW");
        if (!tray || !*tray)
            return nullptr;
        int screenNumber = 0;
        xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return nullptr;
        }
        auto display = std::unique_ptr<Display>(new Display);
        display->m_connection = connection;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&screens);
        display->m_root = screens.data->root;
        display->m_tray = static_cast<xcb_window_t>(std::strtoul(tray, nullptr, 0));
        // Window managers frame (ReparentNotify) and map top-levels under the
        // root; the tray embeds icons somewhere below its own window.
        display->selectInput(display->m_root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        display->watchTraySubtree(display->m_tray);
        display->flush();
        return display;
    }

    void selectInput(xcb_window_t window, uint32_t mask)
    {
        xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
    }

    void watchTraySubtree(xcb_window_t window)
    {
        m_traySubtree.insert(window);
        selectInput(window, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        for (xcb_window_t child : children(window))
            watchTraySubtree(child);
    }

    std::vector<xcb_window_t> children(xcb_window_t window)
    {
        std::vector<xcb_window_t> result;
        auto *reply = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
        if (reply) {
            const xcb_window_t *list = xcb_query_tree_children(reply);
            result.assign(list, list + xcb_query_tree_children_length(reply));
            free(reply);
        }
        return result;
    }

    xcb_window_t parentOf(xcb_window_t window)
    {
        auto *reply = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
        const xcb_window_t parent = reply ? reply->parent : XCB_NONE;
        free(reply);
        return parent;
    }

    Event decode(xcb_generic_event_t *raw)
    {
        Event event;
        event.at = Clock::now();
        switch (raw->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            auto *created = reinterpret_cast<xcb_create_notify_event_t *>(raw);
            // New windows inside the tray (the sockets icons go into) are
            // watched as they appear.
            if (m_traySubtree.count(created->parent)) {
                m_traySubtree.insert(created->window);
                selectInput(created->window, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
                flush();
            }
            return event;
        }
        case XCB_REPARENT_NOTIFY: {
            auto *reparented = reinterpret_cast<xcb_reparent_notify_event_t *>(raw);
            event.type = XCB_REPARENT_NOTIFY;
            event.window = reparented->window;
            event.parent = reparented->parent;
            return event;
        }
        case XCB_MAP_NOTIFY:
            event.type = XCB_MAP_NOTIFY;
            event.window = reinterpret_cast<xcb_map_notify_event_t *>(raw)->window;
            return event;
        case XCB_UNMAP_NOTIFY:
            event.type = XCB_UNMAP_NOTIFY;
            event.window = reinterpret_cast<xcb_unmap_notify_event_t *>(raw)->window;
            return event;
        default:
            return event;
        }
    }

    Display() = default;

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_tray = XCB_NONE;
    std::set<xcb_window_t> m_traySubtree;
};

// ---- the process side ---------------------------------------------------

// One started program with a private home, configuration and runtime
// directory (tolvanis is single-instance per runtime directory).
class Program
{
public:
    Program(const std::string &executable, const std::string &label)
        : m_label(label)
    {
        std::string pattern = (fs::temp_directory_path() / "tolvanis-bench.XXXXXX").string();
        m_home = mkdtemp(pattern.data()) ? pattern : std::string();
        for (const char *sub : {"/.config", "/.local/share", "/.cache", "/run"})
            fs::create_directories(m_home + sub);
        fs::permissions(m_home + "/run", fs::perms::owner_all, fs::perm_options::replace);

        const std::set<std::string> replaced = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM"};
        std::vector<std::string> environment;
        for (char **entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            if (!replaced.count(variable.substr(0, variable.find('='))))
                environment.push_back(variable);
        }
        environment.push_back("HOME=" + m_home);
        environment.push_back("XDG_CONFIG_HOME=" + m_home + "/.config");
        environment.push_back("XDG_DATA_HOME=" + m_home + "/.local/share");
        environment.push_back("XDG_CACHE_HOME=" + m_home + "/.cache");
        environment.push_back("XDG_RUNTIME_DIR=" + m_home + "/run");
        environment.push_back("QT_QPA_PLATFORM=xcb");
        std::vector<char *> envp;
        for (std::string &variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string program = executable;
        char *argv[] = {program.data(), nullptr};

        m_startedAt = Clock::now();
        if (posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
    }

    ~Program()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (!m_home.empty())
            fs::remove_all(m_home);
    }

    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    pid_t pid() const { return m_pid; }
    const std::string &label() const { return m_label; }
    Clock::time_point startedAt() const { return m_startedAt; }
    xcb_window_t icon() const { return m_icon; }

    // Milliseconds from exec until the icon window is mapped inside the tray.
    std::optional<double> waitForTrayIcon(Display &display)
    {
        std::optional<Event> reparented = display.waitFor(10000, [&display](const Event &event) {
            return event.type == XCB_REPARENT_NOTIFY && display.isInTray(event.parent);
        });
        if (!reparented)
            return std::nullopt;
        m_icon = reparented->window;
        display.watchStructure(m_icon);
        if (display.isMapped(m_icon))
            return msBetween(m_startedAt, Clock::now());
        std::optional<Event> mapped = display.waitFor(
            10000, [this](const Event &event) { return event.type == XCB_MAP_NOTIFY && event.window == m_icon; });
        if (!mapped)
            return std::nullopt;
        return msBetween(m_startedAt, mapped->at);
    }

    // CPU time of all threads, in nanoseconds.
    unsigned long long cpuNs() const
    {
        unsigned long long total = 0;
        std::error_code error;
        for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/task", error)) {
            std::ifstream schedstat(task.path() / "schedstat");
            unsigned long long ns = 0;
            if (schedstat >> ns)
                total += ns;
        }
        return total;
    }

    // Milliseconds from exec until the last CPU use before `quietMs` of none.
    double waitUntilQuiet(int quietMs)
    {
        unsigned long long last = cpuNs();
        auto lastChange = Clock::now();
        const auto deadline = lastChange + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            sleepMs(1);
            const unsigned long long now = cpuNs();
            if (now != last) {
                last = now;
                lastChange = Clock::now();
            } else if (msBetween(lastChange, Clock::now()) >= quietMs) {
                break;
            }
        }
        return msBetween(m_startedAt, lastChange);
    }

    double pssMb() const
    {
        std::ifstream rollup("/proc/" + std::to_string(m_pid) + "/smaps_rollup");
        std::string line;
        while (std::getline(rollup, line)) {
            if (line.rfind("Pss:", 0) == 0)
                return std::strtod(line.c_str() + 4, nullptr) / 1024.0;
        }
        return -1;
    }

    // Voluntary plus involuntary context switches, per thread ("tid name").
    std::map<std::string, long> contextSwitches() const
    {
        std::map<std::string, long> result;
        std::error_code error;
        for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/task", error)) {
            std::ifstream status(task.path() / "status");
            std::string line;
            std::string name;
            long switches = 0;
            while (std::getline(status, line)) {
                if (line.rfind("Name:", 0) == 0)
                    name = line.substr(line.find_first_not_of(" \t", 5));
                else if (line.find("ctxt_switches:") != std::string::npos)
                    switches += std::strtol(line.c_str() + line.find(':') + 1, nullptr, 10);
            }
            result[task.path().filename().string() + " " + name] = switches;
        }
        return result;
    }

private:
    std::string m_label;
    std::string m_home;
    pid_t m_pid = -1;
    Clock::time_point m_startedAt;
    xcb_window_t m_icon = XCB_NONE;
};

struct Contender {
    const char *label;
    const char *executable;
};

const Contender floorProgram{"floor", TRAYBASELINE_EXECUTABLE};
const Contender tolvanis{"tolvanis", TOLVANIS_EXECUTABLE};

Display *displayOrSkip(benchmark::State &state)
{
    Display *display = Display::instance();
    if (!display)
        state.SkipWithError("needs an X server with a tray: run through scripts/virtual-desktop.sh");
    return display;
}

// Starts one program and waits for its tray icon; a program without one
// fails the benchmark. iconMs, when given, receives exec -> icon mapped.
std::unique_ptr<Program> startWithTrayIcon(benchmark::State &state, Display &display, const Contender &contender,
                                           double *iconMs = nullptr)
{
    display.drain();
    auto program = std::make_unique<Program>(contender.executable, contender.label);
    const std::optional<double> ms = program->waitForTrayIcon(display);
    if (!ms) {
        state.SkipWithError((std::string(contender.label) + ": no tray icon within 10 s").c_str());
        return nullptr;
    }
    if (iconMs)
        *iconMs = *ms;
    return program;
}

// Context switches summed over the threads alive at both ends, and each
// thread that switched, printed so a miss points at its thread.
long contextSwitchesDuring(const Program &program, int seconds, const char *when)
{
    const auto before = program.contextSwitches();
    sleepMs(seconds * 1000);
    const auto after = program.contextSwitches();
    long total = 0;
    std::string busy;
    for (const auto &[thread, count] : after) {
        const auto start = before.find(thread);
        const long delta = count - (start == before.end() ? 0 : start->second);
        total += delta;
        if (delta)
            busy += " [" + thread + "]=" + std::to_string(delta);
    }
    std::fprintf(stderr, "%s %s: %ld context switches in %d s%s\n", program.label().c_str(), when, total, seconds,
                 busy.c_str());
    return total;
}

// exec -> icon embedded in the tray, and -> the process quiet afterwards.
// The two programs alternate, one at a time, after an untimed warm-up run.
// A single start moves by several milliseconds when something else on the
// machine wakes; with 15 starts each, two or three such starts no longer
// move the medians.
void BM_StartToTrayIcon(benchmark::State &state)
{
    Display *display = displayOrSkip(state);
    if (!display)
        return;
    constexpr int runs = 15;
    std::map<std::string, std::vector<double>> embedded;
    std::map<std::string, std::vector<double>> quiet;
    for (auto _ : state) {
        for (int run = -1; run < runs; ++run) {
            for (const Contender &contender : {floorProgram, tolvanis}) {
                double iconMs = 0;
                const auto program = startWithTrayIcon(state, *display, contender, &iconMs);
                if (!program)
                    return;
                const double quietMs = std::max(iconMs, program->waitUntilQuiet(200));
                if (run >= 0) {
                    embedded[contender.label].push_back(iconMs);
                    quiet[contender.label].push_back(quietMs);
                }
                std::fprintf(stderr, "%s run %d: icon %.1f ms, quiet %.1f ms\n", contender.label, run, iconMs, quietMs);
            }
            sleepMs(150); // the tray removes the icons of the ended programs
        }
        state.SetIterationTime(median(quiet["tolvanis"]) / 1000.0);
    }
    state.counters["floor_icon_ms"] = median(embedded["floor"]);
    state.counters["tolvanis_icon_ms"] = median(embedded["tolvanis"]);
    state.counters["floor_idle_ms"] = median(quiet["floor"]);
    state.counters["tolvanis_idle_ms"] = median(quiet["tolvanis"]);
    state.counters["icon_ratio"] = median(embedded["tolvanis"]) / median(embedded["floor"]);
    state.counters["idle_ratio"] = median(quiet["tolvanis"]) / median(quiet["floor"]);
}

// Both programs side by side: PSS 5 s after exec, then context switches
// over 30 s with nothing shown.
void BM_IdleFootprint(benchmark::State &state)
{
    Display *display = displayOrSkip(state);
    if (!display)
        return;
    for (auto _ : state) {
        std::vector<std::unique_ptr<Program>> programs;
        for (const Contender &contender : {floorProgram, tolvanis}) {
            programs.push_back(startWithTrayIcon(state, *display, contender));
            if (!programs.back())
                return;
        }
        for (const auto &program : programs) {
            std::this_thread::sleep_until(program->startedAt() + std::chrono::seconds(5));
            state.counters[program->label() + "_pss_MB"] = program->pssMb();
        }
        // Both windows overlap: the programs are measured at the same time.
        std::map<std::string, long> totals;
        std::thread other([&] { totals["floor"] = contextSwitchesDuring(*programs[0], 30, "idle"); });
        totals["tolvanis"] = contextSwitchesDuring(*programs[1], 30, "idle");
        other.join();
        state.counters["floor_ctxsw_30s"] = static_cast<double>(totals["floor"]);
        state.counters["tolvanis_ctxsw_30s"] = static_cast<double>(totals["tolvanis"]);
        state.SetIterationTime(30);
    }
}

// A left click on the icon until the panel window is mapped, for several
// open/close cycles; the program ignores a tray click in the 300 ms after
// the panel lost the focus, so the cycles are spaced well apart.
std::optional<std::vector<double>> clickCycles(Display &display, Program &program, int cycles)
{
    const auto [x, y] = display.centreOnScreen(program.icon());
    std::vector<double> times;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        display.movePointer(x, y);
        sleepMs(100);
        display.drain();
        const auto clickedAt = display.click();
        xcb_window_t panel = XCB_NONE;
        std::optional<Event> mapped = display.waitFor(3000, [&](const Event &event) {
            if (event.type != XCB_MAP_NOTIFY || !display.holdsWindowOfWidth(event.window, panelWidth))
                return false;
            panel = event.window;
            return true;
        });
        if (!mapped)
            return std::nullopt;
        times.push_back(msBetween(clickedAt, mapped->at));
        sleepMs(400);
        display.drain();
        display.click();
        display.waitFor(
            3000, [panel](const Event &event) { return event.type == XCB_UNMAP_NOTIFY && event.window == panel; });
        sleepMs(700);
    }
    return times;
}

void BM_ClickToPanel(benchmark::State &state)
{
    Display *display = displayOrSkip(state);
    if (!display)
        return;
    constexpr int cycles = 9;
    for (auto _ : state) {
        for (const Contender &contender : {floorProgram, tolvanis}) {
            const auto started = startWithTrayIcon(state, *display, contender);
            if (!started)
                return;
            Program &program = *started;
            program.waitUntilQuiet(300);
            const std::optional<std::vector<double>> times = clickCycles(*display, program, cycles);
            if (!times) {
                state.SkipWithError((std::string(contender.label) + ": a click mapped no panel window").c_str());
                return;
            }
            std::fprintf(stderr, "%s click to mapped, ms:", contender.label);
            for (double ms : *times)
                std::fprintf(stderr, " %.2f", ms);
            std::fprintf(stderr, "\n");
            const std::string label = contender.label;
            state.counters[label + "_click_median_ms"] = median(*times);
            state.counters[label + "_click_first_ms"] = times->front();
            state.counters[label + "_click_max_ms"] = *std::max_element(times->begin(), times->end());
            if (label == "tolvanis") {
                // The panel has been shown and hidden: nothing may keep ticking.
                sleepMs(1000);
                state.counters["tolvanis_ctxsw_30s_after_use"] = static_cast<double>(
                    contextSwitchesDuring(program, 30, "idle after use"));
                state.SetIterationTime(median(*times) / 1000.0);
            }
        }
    }
}

} // namespace

BENCHMARK(BM_StartToTrayIcon)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleFootprint)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickToPanel)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
