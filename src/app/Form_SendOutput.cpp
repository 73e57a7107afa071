#include "app/Form_SendOutput.h"

#include "ui/WindowFonts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

TForm_SendOutput::TForm_SendOutput(const std::vector<std::string>& recent, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Form_SendOutput"));
    setWindowTitle(QStringLiteral("Send Output To"));
    setFont(WindowFont());
    auto* column = new QVBoxLayout(this);
    auto* prompt = new QLabel(QString::fromLatin1(kSendOutputPrompt), this);
    prompt->setObjectName(QStringLiteral("LB_Prompt"));
    prompt->setWordWrap(true);
    column->addWidget(prompt);
    CB_Target = new QComboBox(this);
    CB_Target->setObjectName(QStringLiteral("CB_Target"));
    CB_Target->setEditable(true);
    CB_Target->setInsertPolicy(QComboBox::NoInsert);
    CB_Target->setMinimumContentsLength(40);
    for (const std::string& target : recent)
        CB_Target->addItem(QString::fromStdString(target));
    column->addWidget(CB_Target);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("BB_Buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

std::string TForm_SendOutput::Target() const {
    return CB_Target->currentText().trimmed().toStdString();
}

std::vector<std::string> RecentSendTargets(const std::string& stored) {
    std::vector<std::string> targets;
    size_t start = 0;
    while (start <= stored.size()) {
        const size_t bar = std::min(stored.find('|', start), stored.size());
        if (bar > start && targets.size() < kRecentSendTargets)
            targets.push_back(stored.substr(start, bar - start));
        start = bar + 1;
    }
    return targets;
}

std::string RememberSendTarget(const std::string& stored, const std::string& target) {
    if (target.empty() || target.find('|') != std::string::npos) return stored;
    std::vector<std::string> targets = RecentSendTargets(stored);
    targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
    targets.insert(targets.begin(), target);
    if (targets.size() > kRecentSendTargets) targets.resize(kRecentSendTargets);
    std::string joined;
    for (const std::string& t : targets)
        joined += (joined.empty() ? "" : "|") + t;
    return joined;
}
