#pragma once
// A tab page whose content is made when it is first shown (or first asked
// for), so that start-up builds only the page the user sees.
#include <QWidget>
#include <functional>

namespace ktx {

class LazyPage : public QWidget {
    Q_OBJECT
public:
    // build makes the content as a child of the page it is given.
    using Builder = std::function<QWidget*(QWidget* page)>;

    LazyPage(const QString& objectName, Builder build, QWidget* parent = nullptr);

    // The content, made now if it was not yet.
    QWidget* content();
    bool isBuilt() const { return content_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    Builder build_;
    QWidget* content_ = nullptr;
};

}  // namespace ktx
