// The system information tree against free and df on this machine and a fake
// power-supply folder; the task list, Activate and Kill against real child processes,
// with real windows under Xvfb and openbox where those can be had.
#include "framework/Dialogs.h"
#include "platform/Power.h"
#include "platform/Processes.h"
#include "platform/Windows.h"
#include "res/Ids.h"
#include "sources/SizeText.h"
#include "support/Gui.h"
#include "support/MessageScript.h"
#include "support/Printers.h"
#include "support/TempDir.h"
#include "systools/SysToolDialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmar {
namespace {

using test::WaitFor;

// `command` run in the C locale.
QString Output(const QStringList& command) {
    QProcess p;
    p.start("env", QStringList{"LC_ALL=C"} + command);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList Texts(const InfoNode& node) {
    QStringList out;
    for (const InfoNode& c : node.children)
        out.append(c.text);
    return out;
}

struct SysTools : ::testing::Test {
    test::MessageScript messages;
};

TEST_F(SysTools, SystemFiguresAgreeWithFreeAndDf) {
    const std::vector<InfoNode> tree = BuildSystemInfo();
    ASSERT_GE(tree.size(), 2u);
    EXPECT_EQ(tree[0].text, "Memory");
    EXPECT_EQ(tree[1].text, "Disk");

    // free -b: "Mem:  total used free shared buff/cache available"
    const QStringList mem = Output({"free", "-b"}).split('\n').filter("Mem:");
    ASSERT_EQ(mem.size(), 1);
    const QStringList f = mem[0].simplified().split(' ');
    const QStringList memory = Texts(tree[0]);
    ASSERT_EQ(memory.size(), 7);
    EXPECT_EQ(memory[1], QStringLiteral("TotalPhys.: ") + FormatNumber(f[1].toULongLong()));

    // df -B1 of "/": its size (the root's lines come first).
    const QStringList df =
        Output({"df", "-B1", "--output=size", "/"}).split('\n')[1].simplified().split(' ');
    const QStringList disk = Texts(tree[1]);
    ASSERT_GE(disk.size(), 3);
    EXPECT_EQ(disk[1], QStringLiteral("TotalNumberOfBytes: ") + FormatNumber(df[0].toULongLong()));
}

TEST_F(SysTools, TreeBranchesFollowTheirSources) {
    SystemSources s;
    s.memory = [](platform::MemoryStatus& m) {
        m.load = 42;
        return true;
    };
    s.disk = [](const QString& folder, platform::DiskSpace& d) {
        if (folder == QLatin1String("/media/broken")) return false;
        d = {1000, 3000, 2000};
        return true;
    };
    s.mounts = [] { return QStringList{"/media/broken", "/boot"}; };
    std::vector<InfoNode> tree = BuildSystemInfo(s);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(Texts(tree[0])[0], "Utilization: 42%");
    // The root's three lines, then one item for the mount that could be read.
    EXPECT_EQ(Texts(tree[1]),
              (QStringList{"FreeBytesAvailableToCaller: " + FormatNumber(1000),
                           "TotalNumberOfBytes: " + FormatNumber(3000),
                           "TotalNumberOfFreeBytes: " + FormatNumber(2000), "/boot"}));
    EXPECT_EQ(tree[1].children[3].children.size(), 3u);

    // A power_supply folder as "supply/file=text" words, and the branch it makes.
    const std::pair<const char*, QStringList> supplies[] = {
        {"AC/type=Mains AC/online=1 BAT0/type=Battery BAT0/status=Charging BAT0/capacity=80 "
         "BAT0/voltage_now=12345000 BAT0/current_now=-1500000 BAT0/charge_now=2200000 "
         "BAT0/charge_full=4400000 BAT0/time_to_empty_now=90061 BAT0/technology=Li-ion "
         "BAT0/temp=253",
         {"AC power status: online", "Battery charge status: charging", "Battery charge: 80%",
          "Battery life time: days:1,hours:01,mins:01,secs:01",
          "Battery voltage (mV): " + FormatNumber(12345), "Battery current (mA): -1500",
          "Battery milliamp hours (mAh): 2200", "Battery temperature (.1 Celsius): 253",
          "Battery type: Lion"}},
        // Most laptops count energy (µWh) and power: no "mAh", the times and the current
        // worked out from energy, power and voltage.
        {"AC/type=Mains AC/online=0 BAT0/type=Battery BAT0/status=Discharging BAT0/present=1 "
         "BAT0/capacity=57 BAT0/energy_now=28500000 BAT0/energy_full=50000000 "
         "BAT0/energy_full_design=57020000 BAT0/power_now=9500000 BAT0/voltage_now=11400000 "
         "BAT0/technology=Li-poly BAT0/cycle_count=211 BAT0/model_name=5B10W13930",
         {"AC power status: offline", "Battery charge status: high", "Battery charge: 57%",
          "Battery life time: days:0,hours:03,mins:00,secs:00",
          "BackupBatteryFullLifeTime: days:0,hours:05,mins:15,secs:47",
          "Battery voltage (mV): " + FormatNumber(11400), "Battery current (mA): -833",
          "Battery milliwatt hours (mWh): 28500", "Battery type: LiPoly"}},
        // A wireless mouse's battery is not the system's.
        {"AC/type=Mains AC/online=1 hidpp/type=Battery hidpp/scope=Device hidpp/capacity=90",
         {"AC power status: online", "Battery charge status: no battery", "Battery type: unknown"}},
        {"BAT0/type=Battery BAT0/capacity=20",
         {"AC power status: unknown", "Battery charge status: low", "Battery charge: 20%",
          "Battery type: unknown"}},
        {"BAT0/type=Battery BAT0/capacity=3",
         {"AC power status: unknown", "Battery charge status: critical", "Battery charge: 3%",
          "Battery type: unknown"}},
        {"BAT0/type=Battery BAT0/capacity=140",
         {"AC power status: unknown", "Battery charge status: high", "Battery charge: 100%",
          "Battery type: unknown"}},
        // Without a capacity the charge counters count; without a mains supply, charging
        // means the line is there.
        {"BAT0/type=Battery BAT0/status=Charging BAT0/charge_now=1000 BAT0/charge_full=4000",
         {"AC power status: online", "Battery charge status: charging", "Battery charge: 25%",
          "Battery milliamp hours (mAh): 1", "Battery type: unknown"}},
    };
    for (const auto& [files, lines] : supplies) {
        SCOPED_TRACE(files);
        test::TempDir dir;
        for (const QString& word : QString::fromLatin1(files).split(' '))
            dir.write(word.section('=', 0, 0), word.section('=', 1).toLatin1() + "\n");
        s.power = [&](platform::PowerStatus& p) {
            return platform::SysfsPowerSource(dir.path()).Read(p);
        };
        tree = BuildSystemInfo(s);
        ASSERT_EQ(tree.size(), 3u);
        EXPECT_EQ(Texts(tree[2]), lines);
    }
    // Combined flag bits are not a state of their own.
    s.power = [](platform::PowerStatus& p) {
        p = {};
        p.batteryFlag = 9;
        return true;
    };
    EXPECT_EQ(Texts(BuildSystemInfo(s)[2])[1], "Battery charge status: unknown");
    // Failing sources leave their branches out; the rest stays.
    s.power = [](platform::PowerStatus& p) {
        return platform::SysfsPowerSource(QStringLiteral("/no/such/power_supply")).Read(p);
    };
    s.disk = [](const QString&, platform::DiskSpace&) { return false; };
    tree = BuildSystemInfo(s);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].text, "Memory");
}

// ---- task manager ----

QList<QTreeWidgetItem*> RowsOf(CTaskManagerDlg& dlg, int pid) {
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < dlg.list()->topLevelItemCount(); ++i)
        if (dlg.list()->topLevelItem(i)->data(0, Qt::UserRole).toInt() == pid)
            rows.append(dlg.list()->topLevelItem(i));
    return rows;
}

void Select(CTaskManagerDlg& dlg, QTreeWidgetItem* item) {
    dlg.list()->setCurrentItem(item);
    item->setSelected(true);
}

TEST_F(SysTools, ProcessListFindsAChildAndKillEndsItOnlyOnYes) {
    QProcess child;
    child.start("sleep", {"1000"});
    ASSERT_TRUE(child.waitForStarted());
    const int pid = int(child.processId());

    CTaskManagerDlg dlg;
    ASSERT_EQ(RowsOf(dlg, pid).size(), 1);
    QTreeWidgetItem* row = RowsOf(dlg, pid)[0];
    EXPECT_EQ(row->text(0) + ' ' + row->text(1),
              "sleep " + QStandardPaths::findExecutable("sleep"));

    Select(dlg, row);
    messages.answer(QMessageBox::No);
    FindControl<QPushButton>(&dlg, ids::kIdcTaskKill)->click();
    EXPECT_EQ(messages.shown, QStringList{"Are you sure you want to kill\nsleep?"});
    EXPECT_TRUE(platform::ProcessAlive(pid));

    Select(dlg, RowsOf(dlg, pid).value(0));
    messages.answer(QMessageBox::Yes);
    FindControl<QPushButton>(&dlg, ids::kIdcTaskKill)->click();
    // The wait for the end runs beside the window, which answers meanwhile.
    EXPECT_TRUE(dlg.killPending() || !platform::ProcessAlive(pid));
    EXPECT_TRUE(WaitFor([&] { return !dlg.killPending(); }));
    EXPECT_FALSE(platform::ProcessAlive(pid));
    EXPECT_TRUE(RowsOf(dlg, pid).isEmpty());
    EXPECT_EQ(messages.shown.size(), 2);
    child.waitForFinished();

    // No selection: neither button does anything.
    dlg.list()->clearSelection();
    FindControl<QPushButton>(&dlg, ids::kIdcTaskKill)->click();
    FindControl<QPushButton>(&dlg, ids::kIdcTaskActivate)->click();
    EXPECT_EQ(messages.shown.size(), 2);
}

// The task manager names a process by its id and start time: a row whose process ended and
// whose id went to a newer process never kills the newer one.
TEST_F(SysTools, KillLeavesAProcessThatTookAnEndedOnesNumberAlone) {
    QProcess first;
    first.start("sleep", {"1000"});
    ASSERT_TRUE(first.waitForStarted());
    const int pid = int(first.processId());
    const unsigned long long started = platform::ProcessStartTime(pid);
    ASSERT_NE(started, 0u);
    // The number in another process's hands looks, through /proc, like a start time that
    // differs from the remembered one: that is what the platform layer checks.
    EXPECT_EQ(platform::KillProcess(pid, started - 1), platform::KillResult::Replaced);
    EXPECT_TRUE(platform::ProcessAlive(pid));

    CTaskManagerDlg dlg;
    Select(dlg, RowsOf(dlg, pid).value(0));
    first.kill();
    first.waitForFinished();
    QTest::qWait(30); // start times count in 10 ms ticks: the next process starts a tick later
    // Real reuse where the kernel lets us choose the next number (root): the next process
    // started takes the ended one's number.
    QProcess second;
    for (int attempt = 0; attempt < 20 && int(second.processId()) != pid; ++attempt) {
        if (second.state() != QProcess::NotRunning) {
            second.kill();
            second.waitForFinished();
        }
        if (!test::WriteRaw("/proc/sys/kernel/ns_last_pid", QByteArray::number(pid - 1))) break;
        second.start("sleep", {"1000"});
        second.waitForStarted();
    }
    if (int(second.processId()) != pid)
        GTEST_SKIP() << "the next process number cannot be chosen here (not root)";
    messages.answer(QMessageBox::Yes);
    FindControl<QPushButton>(&dlg, ids::kIdcTaskKill)->click();
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].contains("now belongs to another process"));
    EXPECT_FALSE(dlg.killPending());
    EXPECT_TRUE(platform::ProcessAlive(pid));
    second.kill();
    second.waitForFinished();
}

// "Only Windows" takes a window's process id only from windows of this machine: a program
// shown here through ssh -X names a process of its own host.
TEST_F(SysTools, OnlyWindowsSkipsWindowsOfOtherMachines) {
    struct Fake : platform::WindowSystem {
        std::vector<platform::TopWindow> windows;
        std::vector<platform::TopWindow> TopLevelWindows() override { return windows; }
        bool Activate(uint32_t id) override { return activated = id, true; }
        uint32_t ActiveWindow() override { return 0; }
        uint32_t activated = 0;
    } fake;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const int self = int(QCoreApplication::applicationPid());
    fake.windows = {{1, self, "far-away.example.org"}, {2, self, {}}, {3, self, host}};
    std::vector<TaskRow> rows;
    ASSERT_TRUE(BuildTaskList(true, fake, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].pid, self);
    EXPECT_TRUE(ActivateProcess(self, fake));
    EXPECT_EQ(fake.activated, 3u);
    fake.windows.pop_back();
    EXPECT_TRUE(BuildTaskList(true, fake, rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(ActivateProcess(self, fake));
}

// Xvfb with openbox, which keeps the client list, on a display of the test's own.
class X11Session {
public:
    X11Session() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString wm = QStandardPaths::findExecutable("openbox");
        if (xvfb.isEmpty() || wm.isEmpty()) return;
        // The server picks a free display and names it once it takes connections.
        server_.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
        if (!WaitFor([&] { return server_.canReadLine(); }, 10000)) return;
        display_ = ":" + server_.readLine().trimmed();
        if (!(x_ = platform::ConnectX11(display_))) return;
        wm_.setProcessEnvironment(env());
        // Windows mapped while the manager is still starting may never reach its client list:
        // it runs the start-up command once it manages.
        const QString ready = started_.file("ready");
        wm_.start(wm, {"--sm-disable", "--startup", "touch " + ready});
        managed_ = WaitFor([&] { return QFile::exists(ready); }, 10000);
    }
    ~X11Session() {
        x_.reset();
        // Terminated, not killed: the server removes its lock file on the way out.
        for (QProcess* p : {&wm_, &server_}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
            p->waitForFinished();
        }
    }
    platform::WindowSystem* windows() const { return x_.get(); }
    bool managed() const { return managed_; }
    // The environment of a program on this display.
    QProcessEnvironment env() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromUtf8(display_));
        return env;
    }

private:
    QByteArray display_;
    QProcess server_;
    QProcess wm_;
    std::unique_ptr<platform::WindowSystem> x_;
    test::TempDir started_;
    bool managed_ = false;
};

TEST_F(SysTools, OnlyWindowsListsAWindowedProcessOnceAndActivatesIt) {
    // Without an X server the window list is empty, and the process list still works.
    EXPECT_EQ(platform::ConnectX11(":65000"), nullptr);
    X11Session x;
    if (!x.windows()) GTEST_SKIP() << "Xvfb and openbox are needed for the window part";
    ASSERT_TRUE(x.managed()) << "openbox did not take the display";
    platform::SetWindowSystemForTesting(x.windows());

    QProcess child;
    QProcessEnvironment env = x.env();
    env.insert("QT_QPA_PLATFORM", "xcb");
    child.setProcessEnvironment(env);
    int pid = 0;
    auto windowsOf = [&] {
        int n = 0;
        for (const platform::TopWindow& w : x.windows()->TopLevelWindows())
            n += w.pid == pid;
        return n;
    };
    child.start(QCoreApplication::applicationDirPath() + "/systools_window_child", {"3"});
    ASSERT_TRUE(child.waitForStarted());
    pid = int(child.processId());
    ASSERT_TRUE(WaitFor([&] { return windowsOf() == 3; }));

    CTaskManagerDlg dlg;
    FindControl<QCheckBox>(&dlg, ids::kIdcTaskOnlyWindows)->setChecked(true);
    FindControl<QPushButton>(&dlg, ids::kIdcTaskRefresh)->click();
    ASSERT_EQ(RowsOf(dlg, pid).size(), 1);
    EXPECT_EQ(RowsOf(dlg, pid)[0]->text(0), "systools_window_child");

    // Activate: the window manager makes one of the child's windows the active one.
    Select(dlg, RowsOf(dlg, pid)[0]);
    FindControl<QPushButton>(&dlg, ids::kIdcTaskActivate)->click();
    EXPECT_TRUE(WaitFor([&] {
        const uint32_t active = x.windows()->ActiveWindow();
        for (const platform::TopWindow& w : x.windows()->TopLevelWindows())
            if (w.id == active && w.pid == pid) return true;
        return false;
    }));

    child.kill(); // Kill is the same for windowed processes (the process list test)
    child.waitForFinished();
    platform::SetWindowSystemForTesting(nullptr);
}

} // namespace
} // namespace velmar
