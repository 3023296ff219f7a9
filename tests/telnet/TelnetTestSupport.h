#pragma once
// The terminal window under test and a real TCP peer on 127.0.0.1 recording what it sends.

#include "framework/Dialogs.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"
#include "telnet/TelnetDialogs.h"
#include "telnet/TelnetFrame.h"
#include "telnet/TelnetView.h"
#include "telnet/Terminal.h"

#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace velmar::test {

// What the latest connection brought is in `got`.
struct Peer {
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray got;
    Peer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                socket = s;
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
                    if (s == socket) got += s->readAll();
                });
            }
        });
    }
};

struct TerminalWindow : ::testing::Test {
    MessageScript messages;
    Peer peer;
    std::unique_ptr<CMainFrameTelnet> frame;
    telnet::CTelnetView* view = nullptr;

    TerminalWindow() {
        // The connect dialog of the first showing is cancelled.
        SetDialogHookForTesting([](QDialog* d) { d->reject(); });
        telnet::StoreFontDescription({});
        telnet::StoreEmulationKind(telnet::EmulationKind::Ansi);
        frame = std::make_unique<CMainFrameTelnet>(nullptr);
        view = frame->view();
        frame->show();
        view->setFocus();
        QApplication::processEvents();
    }
    ~TerminalWindow() override {
        frame.reset();
        SetDialogHookForTesting(nullptr);
    }

    void ConnectToPeer() {
        QTcpSocket* before = peer.socket;
        view->Connect("127.0.0.1", peer.server.serverPort());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return view->connected() && peer.socket && peer.socket != before; }, 10000));
        peer.got.clear();
    }

    // The viewport point in the middle-left of a cell of the window's lines.
    QPoint CellPoint(int line, int column) const {
        return {column * view->cellWidth() + 1 - view->horizontalScrollBar()->value(),
                line * view->cellHeight() + view->cellHeight() / 2 -
                    view->verticalScrollBar()->value()};
    }

    // Waits until the peer has `n` bytes (or 10 s passed) and takes them.
    QByteArray Received(qsizetype n) {
        (void)QTest::qWaitFor([&] { return peer.got.size() >= n; }, 10000);
        QTest::qWait(1);
        return std::exchange(peer.got, {});
    }
};

} // namespace velmar::test

using velmar::test::B;
using velmar::test::TerminalWindow;
