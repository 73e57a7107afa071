// Form_SendOutput.h: "Send Output To...": the target of the live output typed or picked from the recent
// ones (an FFmpeg output address, a .y4m file, - for standard output, or a V4L2 loopback device), and the
// list of recent targets as the settings keep it.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

inline constexpr const char* kSendOutputPrompt =
    "Send to: udp://HOST:PORT, srt://HOST:PORT, rtmp://HOST/APP/KEY, rtsp://HOST:PORT/PATH, a .y4m file, - "
    "(standard output) or /dev/videoN (a v4l2loopback device)";
inline constexpr size_t kRecentSendTargets = 8;

class TForm_SendOutput : public QDialog {
    Q_OBJECT
public:
    TForm_SendOutput(const std::vector<std::string>& recent, QWidget* parent = nullptr);

    // The target as typed or chosen, without blanks around it.
    std::string Target() const;

    QComboBox* CB_Target = nullptr;
};

// The recent targets kept in one settings text, newest first; "|" parts them (no address or device name
// holds one in practice).
std::vector<std::string> RecentSendTargets(const std::string& stored);
// stored with target put first, once, and at most kRecentSendTargets kept.
std::string RememberSendTarget(const std::string& stored, const std::string& target);
