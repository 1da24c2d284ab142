#pragma once
// SIGTERM, SIGINT and SIGHUP (the terminal that started the program was
// closed) end the program the normal way (the window closes and saves its
// settings) instead of killing it: the signal handler only writes a byte to a
// socket pair, and the event loop reads it. A SIGHUP ignored from the start
// (nohup) stays ignored.
#include <QObject>

class QSocketNotifier;

namespace ktx {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // Installs the handlers; false when the socket pair or a handler could not
    // be set up. Only one instance may be installed at a time.
    bool install();

signals:
    void shutdownRequested(int signalNumber);

private:
    void readSignal();
    void uninstall();

    QSocketNotifier* notifier_ = nullptr;
    bool installed_ = false;
};

}  // namespace ktx
