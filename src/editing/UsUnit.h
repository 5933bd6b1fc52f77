#pragma once
// The form class of stored record forms and list forms. A TUForm starts from
// its built-in design (caption "UForm", stay-on-top, centred on the screen,
// close handler FormClose, destroy handler FormDestroy); a stored form's
// stream is then read over it. Binding the form to a dataset is the
// binding layer's part and builds on this class.

#include "ComponentControls.h"

#include <QDialog>

namespace editing
{

class TUForm : public QDialog, public Control
{
    Q_OBJECT
public:
    // What the close handler tells the closing window to do.
    enum class CloseAction { None, Hide, Free, Minimize };

    TUForm();
    ~TUForm() override;

    // The methods that event properties of a stored form may name.
    [[nodiscard]] static QStringList PublishedMethods();

    // The close handler: answers the form's close action (Free unless
    // changed), so a closed form disposes of itself.
    void FormClose(QObject* sender, CloseAction& action);
    // The destroy handler: disposes of the form's data source.
    void FormDestroy(QObject* sender);

    CloseAction closeAction() const { return m_closeAction; }
    void setCloseAction(CloseAction action) { m_closeAction = action; }

    // The data source the form owns while it is bound; a new one disposes of
    // the previous one. The form takes ownership.
    QObject* formDataSource() const { return m_dataSource; }
    void setFormDataSource(QObject* source);

    void applyProperty(const QString& name, const StreamValue& value) override;
    QSize designClientSize() const override { return m_clientSize; }

protected:
    void applyBounds() override;
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    void setFaceColor(const QColor& color) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CloseAction m_closeAction = CloseAction::Free;
    QSize m_clientSize;
    QString m_position = "poDesigned";
    QPointer<QObject> m_dataSource;
};

} // namespace editing
