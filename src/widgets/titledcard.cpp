#include "widgets/titledcard.h"

#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/fonts.h"
#include "widgets/symbollabel.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace Widgets {

class TitledCard::Surface final : public QWidget
{
public:
    explicit Surface(TitledCard *card)
        : QWidget(card)
        , m_card(card)
    { }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor fill = m_card->m_accent ? Colors::withOpacity(Colors::accent(palette()), 0.08)
                                             : Colors::textBackground(palette());
        painter.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), m_card->m_style.cornerRadius), fill);
    }

private:
    TitledCard *m_card;
};

// Sits above the surface's children and lets every mouse event through.
class TitledCard::Outline final : public QWidget
{
public:
    explicit Outline(TitledCard *card, QWidget *surface)
        : QWidget(surface)
        , m_card(card)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        surface->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded) {
            setGeometry(static_cast<QWidget *>(watched)->rect());
            raise();
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = m_card->m_accent
            ? Colors::withOpacity(Colors::accent(palette()), 0.3)
            : Colors::withOpacity(Colors::secondary(palette()), m_card->m_style.outlineOpacity);
        // A line centred on the edge; the outer half falls outside the
        // widget and is clipped, so draw it half a pixel in.
        painter.setPen(QPen(color, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(ContinuousCorners::roundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5),
                                                        m_card->m_style.cornerRadius - 0.5));
    }

private:
    TitledCard *m_card;
};

TitledCard::Style TitledCard::compact()
{
    Style style;
    style.titleFont = Fonts::monospaced(10, QFont::Medium);
    style.upperCaseTitle = true;
    style.titleSpacing = 4;
    style.cornerRadius = 8;
    style.outlineOpacity = 0.2;
    return style;
}

TitledCard::Style TitledCard::section()
{
    Style style;
    style.titleFont = Fonts::monospaced(12, QFont::DemiBold);
    style.titleSpacing = 10;
    style.cornerRadius = 10;
    style.bodyMargins = QMargins(12, 12, 12, 12);
    style.bodySpacing = 10;
    style.outlineOpacity = 0.15;
    return style;
}

TitledCard::TitledCard(const QString &title, const Style &style, QWidget *parent)
    : QWidget(parent)
    , m_style(style)
    , m_title(new SymbolLabel(std::nullopt, style.upperCaseTitle ? title.toUpper() : title, this))
    , m_surface(new Surface(this))
    , m_outline(new Outline(this, m_surface))
    , m_bodyLayout(new QVBoxLayout(m_surface))
{
    m_title->setTextFont(style.titleFont);
    m_title->setForeground(Foreground::Secondary);
    m_title->setSymbolWeight(SymbolWeight::Semibold);
    m_bodyLayout->setContentsMargins(style.bodyMargins);
    m_bodyLayout->setSpacing(style.bodySpacing);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(style.titleSpacing);
    layout->addWidget(m_title);
    layout->addWidget(m_surface, 1);
}

void TitledCard::setIcon(std::optional<Symbol> icon)
{
    m_title->setSymbol(icon);
}

void TitledCard::setAccent(bool accent)
{
    if (m_accent == accent)
        return;
    m_accent = accent;
    m_surface->update();
    m_outline->update();
}

QString TitledCard::title() const
{
    return m_title->text();
}

QWidget *TitledCard::surface() const
{
    return m_surface;
}

} // namespace Widgets
