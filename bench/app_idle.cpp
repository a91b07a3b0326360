// Idle cost of the desktop application under Xvfb: CPU time of VorlixAgents over 30 s, panel collapsed, with four
// sessions in animated states (sent through the real bridge) beside the same run with none.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int measureSeconds = 30;

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold spaces: fields are counted after its closing parenthesis.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void sendThroughBridge(const QProcessEnvironment& env, const QByteArray& payload) {
    QProcess bridge;
    bridge.setProcessEnvironment(env);
    bridge.start(QStringLiteral(VORLIX_BRIDGE_PATH), {QStringLiteral("--source"), QStringLiteral("claude")});
    bridge.waitForStarted();
    bridge.write(payload);
    bridge.closeWriteChannel();
    bridge.waitForFinished(10000);
}

QByteArray payload(int session, const char* event, const char* tool) {
    QByteArray json = R"({"hook_event_name":")" + QByteArray(event) + R"(","session_id":"bench-)" +
                      QByteArray::number(session) + R"(","cwd":"/tmp/project-)" + QByteArray::number(session) + '"';
    if (tool != nullptr)
        json += R"(,"tool_name":")" + QByteArray(tool) + R"(","tool_input":{"command":"make","file_path":"/tmp/a"})";
    return json + "}";
}

// Percent of one core the application used over the measuring window.
double measure(const QString& display, bool animated) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));

    // Hooks installed for one agent, so the first-run settings window stays closed and only the panel shows.
    QDir(home.path()).mkpath(QStringLiteral(".claude"));
    QProcess install;
    install.setProcessEnvironment(env);
    install.start(QStringLiteral(VORLIX_APP_PATH), {QStringLiteral("install"), QStringLiteral("claude")});
    install.waitForFinished(20000);

    QProcess panel;
    panel.setProcessEnvironment(env);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(QStringLiteral(VORLIX_APP_PATH), {});
    const QString socket = home.path() + QStringLiteral("/.vorlix-agents/run/vorlix.sock");
    for (int i = 0; i < 200 && !QFileInfo::exists(socket); ++i)
        QThread::msleep(100);
    if (!QFileInfo::exists(socket)) {
        std::fprintf(stderr, "the application did not open its socket\n");
        return -1;
    }
    if (animated) {
        sendThroughBridge(env, payload(1, "UserPromptSubmit", nullptr));
        sendThroughBridge(env, payload(2, "PreToolUse", "Bash"));
        sendThroughBridge(env, payload(3, "PreToolUse", "Read"));
        sendThroughBridge(env, payload(4, "PreToolUse", "Write"));
    }
    QThread::sleep(2);
    const double before = cpuSeconds(panel.processId());
    QThread::sleep(measureSeconds);
    const double used = cpuSeconds(panel.processId()) - before;
    panel.terminate();
    panel.waitForFinished(5000);
    return 100.0 * used / measureSeconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!xvfb.waitForReadyRead(20000)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    const QString display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine().trimmed());

    const double idle = measure(display, false);
    const double animated = measure(display, true);
    std::printf("VorlixAgents, collapsed, no sessions:          %.2f %% of one core (goal <= 0.5 %%)\n", idle);
    std::printf("VorlixAgents, collapsed, four animated agents: %.2f %% of one core (goal <= 2 %%)\n", animated);
    if (idle > 0)
        std::printf("four animated / none: %.1fx\n", animated / idle);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return idle < 0 || animated < 0 ? 1 : 0;
}
