#include "controls/chartctrl.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Room for the left axis's labels and the bottom axis's labels.
constexpr int kLeftMargin = 48;
constexpr int kBottomMargin = 22;
constexpr int kTopMargin = 10;
constexpr int kRightMargin = 12;
constexpr int kTickLength = 4;
// The least room between two bottom labels.
constexpr int kLabelGap = 4;

// A tick step of 1, 2 or 5 times a power of ten that puts at most `maxTicks`
// ticks on `span`.
double NiceStep(double span, int maxTicks) {
  double raw = span / std::max(1, maxTicks - 1);
  double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * magnitude >= raw) return factor * magnitude;
  }
  return 10.0 * magnitude;
}

QString TickLabel(double value, double step) {
  int decimals = step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
  return QString::number(value, 'f', decimals);
}

}  // namespace

void CChartStandardAxis::SetMinMax(double minimum, double maximum) {
  m_min = minimum;
  m_max = maximum;
  m_owner->RefreshCtrl();
}

double CChartStandardAxis::DrawnMin() const {
  if (!std::isfinite(m_min) || !std::isfinite(m_max)) return 0;
  if (m_max > m_min) return m_min;
  // An empty range around one value: one unit either side (or a tenth of
  // the value when that is larger), so the value sits in the middle.
  double half = std::max(1.0, std::fabs(m_min) * 0.1);
  return m_min - half;
}

double CChartStandardAxis::DrawnMax() const {
  if (!std::isfinite(m_min) || !std::isfinite(m_max)) return 1;
  if (m_max > m_min) return m_max;
  double half = std::max(1.0, std::fabs(m_min) * 0.1);
  return m_min + half;
}

void CChartStandardAxis::SetAxisColor(const QColor& color) {
  m_axisColor = color;
  m_owner->RefreshCtrl();
}

void CChartStandardAxis::SetTextColor(const QColor& color) {
  m_textColor = color;
  m_owner->RefreshCtrl();
}

void CChartStandardAxis::SetGridVisible(bool visible) {
  m_grid = visible;
  m_owner->RefreshCtrl();
}

void CChartStandardAxis::SetLabelFormatter(LabelFormatter formatter) {
  m_formatter = std::move(formatter);
  if (m_owner) m_owner->RefreshCtrl();
}

QString CChartStandardAxis::Label(double value, double step) const {
  return m_formatter ? m_formatter(value, step) : TickLabel(value, step);
}

void CChartStandardAxis::SetTickMaker(TickMaker maker) {
  m_tickMaker = std::move(maker);
  if (m_owner) m_owner->RefreshCtrl();
}

AxisTicks CChartStandardAxis::MakeTicks(int maxTicks) const {
  double low = DrawnMin();
  double high = DrawnMax();
  if (m_tickMaker) return m_tickMaker(low, high, maxTicks);
  double step = NiceStep(high - low, std::max(2, maxTicks));
  AxisTicks result;
  result.step = step;
  std::vector<double>& ticks = result.values;
  // A tolerance of a millionth of a step keeps ends that rounding moved.
  double epsilon = step * 1e-6;
  for (double value = std::ceil(low / step - 1e-6) * step; value <= high + epsilon; value += step) {
    if (ticks.size() >= static_cast<size_t>(std::max(2, maxTicks)) + 1) break;
    ticks.push_back(std::fabs(value) < epsilon ? 0.0 : value);
  }
  return result;
}

void CChartSerie::Changed() { m_owner->RefreshCtrl(); }

void CChartSerie::SetColor(const QColor& color) {
  m_color = color;
  Changed();
}

void CChartSerie::ClearSerie() {
  m_points.clear();
  Changed();
}

void CChartSerie::AddPoint(double x, double y) {
  m_points.emplace_back(x, y);
  Changed();
}

void CChartSerie::AddPoints(const double* x, const double* y, size_t count) {
  m_points.reserve(m_points.size() + count);
  for (size_t i = 0; i < count; ++i) m_points.emplace_back(x[i], y[i]);
  Changed();
}

void CChartLineSerie::SetWidth(int width) {
  m_width = std::max(1, width);
  Changed();
}

void CChartLineSerie::SetStepped(bool stepped) {
  m_stepped = stepped;
  Changed();
}

std::vector<QPointF> StepPoints(const std::vector<QPointF>& points, double endX) {
  std::vector<QPointF> corners;
  corners.reserve(points.size() * 2);
  for (size_t i = 0; i < points.size(); ++i) {
    corners.push_back(points[i]);
    const double nextX = i + 1 < points.size() ? points[i + 1].x() : endX;
    if (nextX > points[i].x()) corners.emplace_back(nextX, points[i].y());
  }
  return corners;
}

void CChartPointsSerie::SetPointSize(int width, int height) {
  m_width = std::max(1, width);
  m_height = std::max(1, height);
  Changed();
}

void CChartPointsSerie::SetBorderColor(const QColor& color) {
  m_borderColor = color;
  Changed();
}

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

CChartCtrl::~CChartCtrl() = default;

CChartLineSerie* CChartCtrl::CreateLineSerie() {
  auto serie = std::make_unique<CChartLineSerie>(this);
  CChartLineSerie* raw = serie.get();
  m_series.push_back(std::move(serie));
  RefreshCtrl();
  return raw;
}

CChartPointsSerie* CChartCtrl::CreatePointsSerie() {
  auto serie = std::make_unique<CChartPointsSerie>(this);
  CChartPointsSerie* raw = serie.get();
  m_series.push_back(std::move(serie));
  RefreshCtrl();
  return raw;
}

void CChartCtrl::RemoveAllSeries() {
  m_series.clear();
  RefreshCtrl();
}

void CChartCtrl::SetBackColor(const QColor& color) {
  m_back = color;
  RefreshCtrl();
}

void CChartCtrl::RefreshCtrl() { update(); }

QRectF CChartCtrl::PlotArea() const {
  QRectF area(kLeftMargin, kTopMargin, width() - kLeftMargin - kRightMargin,
              height() - kTopMargin - kBottomMargin);
  if (area.width() < 1) area.setWidth(1);
  if (area.height() < 1) area.setHeight(1);
  return area;
}

QPointF CChartCtrl::ValueToPixel(double x, double y) const {
  QRectF area = PlotArea();
  double xMin = m_bottom.DrawnMin();
  double xMax = m_bottom.DrawnMax();
  double yMin = m_left.DrawnMin();
  double yMax = m_left.DrawnMax();
  double px = area.left() + (x - xMin) / (xMax - xMin) * area.width();
  double py = area.bottom() - (y - yMin) / (yMax - yMin) * area.height();
  return {px, py};
}

double CChartCtrl::BottomLabelStep(const AxisTicks& ticks) const {
  // A lone tick is labelled for the whole range it stands in.
  return ticks.values.size() > 1 ? ticks.step : m_bottom.DrawnMax() - m_bottom.DrawnMin();
}

AxisTicks CChartCtrl::BottomTicks(const QFontMetrics& metrics, double width) const {
  for (int most = std::max(2, static_cast<int>(width / 24)); most > 2; --most) {
    AxisTicks ticks = m_bottom.MakeTicks(most);
    const double step = BottomLabelStep(ticks);
    const double pixelsPerUnit = width / (m_bottom.DrawnMax() - m_bottom.DrawnMin());
    int widest = 0;
    double closest = width;
    for (size_t i = 0; i < ticks.values.size(); ++i) {
      widest = std::max(widest, metrics.horizontalAdvance(m_bottom.Label(ticks.values[i], step)));
      if (i > 0)
        closest = std::min(closest, (ticks.values[i] - ticks.values[i - 1]) * pixelsPerUnit);
    }
    if (closest >= widest + kLabelGap) return ticks;
  }
  return m_bottom.MakeTicks(2);
}

void CChartCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), m_back);
  QRectF area = PlotArea();
  painter.setRenderHint(QPainter::Antialiasing, false);

  // Grid lines and labels of the left axis.
  std::vector<double> leftTicks = m_left.Ticks(std::max(2, static_cast<int>(area.height() / 30)));
  double leftStep = leftTicks.size() > 1 ? leftTicks[1] - leftTicks[0] : 1;
  for (double value : leftTicks) {
    double y = ValueToPixel(m_bottom.DrawnMin(), value).y();
    if (m_left.IsGridVisible()) {
      painter.setPen(QPen(m_left.GetAxisColor().lighter(115), 1, Qt::DotLine));
      painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.setPen(m_left.GetAxisColor());
    painter.drawLine(QPointF(area.left() - kTickLength, y), QPointF(area.left(), y));
    painter.setPen(m_left.GetTextColor());
    painter.drawText(QRectF(0, y - 8, kLeftMargin - kTickLength - 2, 16),
                     Qt::AlignRight | Qt::AlignVCenter, m_left.Label(value, leftStep));
  }
  // The same for the bottom axis.
  const AxisTicks bottomTicks = BottomTicks(painter.fontMetrics(), area.width());
  const double bottomStep = BottomLabelStep(bottomTicks);
  for (double value : bottomTicks.values) {
    double x = ValueToPixel(value, m_left.DrawnMin()).x();
    if (m_bottom.IsGridVisible()) {
      painter.setPen(QPen(m_bottom.GetAxisColor().lighter(115), 1, Qt::DotLine));
      painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    painter.setPen(m_bottom.GetAxisColor());
    painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + kTickLength));
    painter.setPen(m_bottom.GetTextColor());
    painter.drawText(QRectF(x - 30, area.bottom() + kTickLength, 60, kBottomMargin - kTickLength),
                     Qt::AlignHCenter | Qt::AlignTop, m_bottom.Label(value, bottomStep));
  }
  painter.setPen(m_left.GetAxisColor());
  painter.drawLine(area.bottomLeft(), area.topLeft());
  painter.setPen(m_bottom.GetAxisColor());
  painter.drawLine(area.bottomLeft(), area.bottomRight());

  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setClipRect(area.adjusted(-6, -6, 6, 6));
  for (const auto& serie : m_series) {
    if (auto* line = dynamic_cast<CChartLineSerie*>(serie.get())) {
      const std::vector<QPointF> corners =
          line->IsStepped() ? StepPoints(line->Points(), m_bottom.DrawnMax()) : line->Points();
      if (corners.size() < 2) continue;
      QPainterPath path(ValueToPixel(corners[0].x(), corners[0].y()));
      for (size_t i = 1; i < corners.size(); ++i)
        path.lineTo(ValueToPixel(corners[i].x(), corners[i].y()));
      painter.setPen(QPen(line->GetColor(), line->GetWidth(), Qt::SolidLine));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(path);
    } else if (auto* points = dynamic_cast<CChartPointsSerie*>(serie.get())) {
      painter.setPen(QPen(points->GetBorderColor(), 1));
      painter.setBrush(points->GetColor());
      for (size_t i = 0; i < points->GetPointsCount(); ++i) {
        QPointF p = points->GetPoint(i);
        painter.drawEllipse(ValueToPixel(p.x(), p.y()), points->GetPointWidth() / 2.0,
                            points->GetPointHeight() / 2.0);
      }
    }
  }
}
