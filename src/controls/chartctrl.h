#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QWidget>

class CChartCtrl;
class QFontMetrics;

// Where an axis puts its labels, and how far apart they stand.
struct AxisTicks {
  std::vector<double> values;
  double step = 0;
};

// A numeric axis: its range, the colour of its line and of its labels, and
// whether grid lines run from its ticks across the plot.
class CChartStandardAxis {
 public:
  explicit CChartStandardAxis(CChartCtrl* owner) : m_owner(owner) {}

  // A range whose ends are equal or reversed is widened when drawn, so a
  // history of one price still gets a readable axis.
  void SetMinMax(double minimum, double maximum);
  double GetMin() const { return m_min; }
  double GetMax() const { return m_max; }
  // The range the chart draws with: the set one, or a widened one when it is
  // empty or not a number.
  double DrawnMin() const;
  double DrawnMax() const;

  void SetAxisColor(const QColor& color);
  QColor GetAxisColor() const { return m_axisColor; }
  void SetTextColor(const QColor& color);
  QColor GetTextColor() const { return m_textColor; }
  void SetGridVisible(bool visible);
  bool IsGridVisible() const { return m_grid; }

  // What a label says for a tick value (`step` apart from the next); by
  // default the number with as many decimals as the step needs.
  using LabelFormatter = std::function<QString(double value, double step)>;
  void SetLabelFormatter(LabelFormatter formatter);
  QString Label(double value, double step) const;

  // Label positions: "nice" values (1, 2 or 5 times a power of ten apart)
  // within the drawn range, at most `maxTicks` of them; or those of the tick
  // maker when one is set (a time axis).
  std::vector<double> Ticks(int maxTicks = 6) const { return MakeTicks(maxTicks).values; }
  AxisTicks MakeTicks(int maxTicks = 6) const;
  using TickMaker = std::function<AxisTicks(double low, double high, int maxTicks)>;
  void SetTickMaker(TickMaker maker);

 private:
  CChartCtrl* m_owner;
  double m_min = 0;
  double m_max = 1;
  QColor m_axisColor = Qt::black;
  QColor m_textColor = Qt::black;
  bool m_grid = true;
  LabelFormatter m_formatter;
  TickMaker m_tickMaker;
};

// The points of one series, in the order they were added.
class CChartSerie {
 public:
  explicit CChartSerie(CChartCtrl* owner) : m_owner(owner) {}
  virtual ~CChartSerie() = default;

  void SetColor(const QColor& color);
  QColor GetColor() const { return m_color; }
  void ClearSerie();
  void AddPoint(double x, double y);
  void AddPoints(const double* x, const double* y, size_t count);
  size_t GetPointsCount() const { return m_points.size(); }
  QPointF GetPoint(size_t index) const { return m_points.at(index); }
  const std::vector<QPointF>& Points() const { return m_points; }

 protected:
  void Changed();
  CChartCtrl* m_owner;
  QColor m_color = Qt::black;
  std::vector<QPointF> m_points;
};

// Points joined by a solid line; stepped, each value holds until the next
// point and the last one to the end of the range, as a price does until it
// changes.
class CChartLineSerie : public CChartSerie {
 public:
  using CChartSerie::CChartSerie;
  void SetWidth(int width);
  int GetWidth() const { return m_width; }
  void SetStepped(bool stepped);
  bool IsStepped() const { return m_stepped; }

 private:
  int m_width = 1;
  bool m_stepped = false;
};

// The corners a stepped line passes through: each point, then the next
// point's x at this point's y; after the last point, `endX` at its y (when
// further right).
std::vector<QPointF> StepPoints(const std::vector<QPointF>& points, double endX);

// Points drawn as filled ellipses with a border.
class CChartPointsSerie : public CChartSerie {
 public:
  using CChartSerie::CChartSerie;
  void SetPointSize(int width, int height);
  int GetPointWidth() const { return m_width; }
  int GetPointHeight() const { return m_height; }
  void SetBorderColor(const QColor& color);
  QColor GetBorderColor() const { return m_borderColor; }

 private:
  int m_width = 5;
  int m_height = 5;
  QColor m_borderColor = Qt::black;
};

// A small line chart: a left and a bottom numeric axis, and the line and
// point series drawn against them.
class CChartCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CChartCtrl(QWidget* parent = nullptr);
  ~CChartCtrl() override;

  CChartStandardAxis* GetLeftAxis() { return &m_left; }
  CChartStandardAxis* GetBottomAxis() { return &m_bottom; }
  // Series belong to the chart and live until RemoveAllSeries or the end.
  CChartLineSerie* CreateLineSerie();
  CChartPointsSerie* CreatePointsSerie();
  void RemoveAllSeries();

  void SetBackColor(const QColor& color);
  QColor GetBackColor() const { return m_back; }

  // The plotting rectangle inside the axes, and where a value lands in it
  // (the drawn ranges of the two axes map onto its edges).
  QRectF PlotArea() const;
  QPointF ValueToPixel(double x, double y) const;

  // Schedules a repaint; the axes and series call it when they change.
  void RefreshCtrl();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // As many bottom ticks as have room for their labels side by side.
  AxisTicks BottomTicks(const QFontMetrics& metrics, double width) const;
  double BottomLabelStep(const AxisTicks& ticks) const;

  CChartStandardAxis m_left{this};
  CChartStandardAxis m_bottom{this};
  std::vector<std::unique_ptr<CChartSerie>> m_series;
  QColor m_back = Qt::white;
};
