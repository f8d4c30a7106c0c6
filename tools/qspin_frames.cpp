#include "tools/qspin_frames.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace qef {

namespace {

constexpr Rgb kBackgroundColour{192, 192, 192};
constexpr double kRadius = 26.0;
constexpr double kThickness = 5.0;
constexpr int kSubsamples = 4;  // per axis, for smooth edges inside the coin

struct Vec {
  double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(double k, Vec a) { return {k * a.x, k * a.y, k * a.z}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Normalized(Vec a) { return (1.0 / std::sqrt(Dot(a, a))) * a; }

struct Colour {
  double r, g, b;
};

enum class Material { kField, kLetter, kRim, kGroove, kEdge, kEdgeDark };

Colour BaseColour(Material material) {
  switch (material) {
    case Material::kField:
      return {225, 170, 40};
    case Material::kLetter:
      return {170, 20, 25};
    case Material::kRim:
      return {240, 195, 70};
    case Material::kGroove:
      return {140, 95, 15};
    case Material::kEdge:
      return {200, 150, 35};
    case Material::kEdgeDark:
      return {150, 105, 20};
  }
  return {};
}

double SegmentDistance(double u, double v, double u0, double v0, double u1, double v1) {
  double du = u1 - u0, dv = v1 - v0;
  double t = std::clamp(((u - u0) * du + (v - v0) * dv) / (du * du + dv * dv), 0.0, 1.0);
  return std::hypot(u - (u0 + t * du), v - (v0 + t * dv));
}

// The stamp on a face, in face coordinates with v pointing up.
Material FaceMaterial(double u, double v) {
  double r = std::hypot(u, v);
  if (r > kRadius - 3.0) return Material::kRim;
  if (r > kRadius - 4.2) return Material::kGroove;
  bool ring = r >= 8.5 && r <= 14.5;
  bool tail = SegmentDistance(u, v, 5.0, -5.0, 15.5, -15.5) <= 2.3;
  return ring || tail ? Material::kLetter : Material::kField;
}

// The colour a ray straight into the picture meets at (x, y), y up, or nothing when it misses.
std::optional<Colour> Trace(double x, double y, double angle) {
  double c = std::cos(angle), s = std::sin(angle);
  constexpr double kFar = 100.0;
  // The coin's own frame: its axis is local z, the world is the coin frame turned by `angle`
  // about the upright axis.
  Vec origin{c * x - s * kFar, y, s * x + c * kFar};
  Vec direction{s, 0.0, -c};
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  double half_chord_squared = kRadius * kRadius - y * y;
  if (half_chord_squared < 0) return std::nullopt;
  double half_chord = std::sqrt(half_chord_squared);

  double side_in = -kInfinity, side_out = kInfinity;
  if (std::abs(direction.x) > 1e-9) {
    double a = (-half_chord - origin.x) / direction.x, b = (half_chord - origin.x) / direction.x;
    side_in = std::min(a, b);
    side_out = std::max(a, b);
  } else if (std::abs(origin.x) > half_chord) {
    return std::nullopt;
  }
  double face_in = -kInfinity, face_out = kInfinity;
  if (std::abs(direction.z) > 1e-9) {
    double a = (-kThickness / 2 - origin.z) / direction.z;
    double b = (kThickness / 2 - origin.z) / direction.z;
    face_in = std::min(a, b);
    face_out = std::max(a, b);
  } else if (std::abs(origin.z) > kThickness / 2) {
    return std::nullopt;
  }
  double enter = std::max(side_in, face_in);
  if (enter > std::min(side_out, face_out)) return std::nullopt;
  Vec hit = origin + enter * direction;

  Material material;
  Vec normal;  // in the world, facing the viewer
  if (face_in >= side_in) {
    bool front = hit.z > 0;
    // Both faces read the right way round.
    material = FaceMaterial(front ? hit.x : -hit.x, hit.y);
    normal = front ? Vec{s, 0, c} : Vec{-s, 0, -c};
  } else {
    double around = std::atan2(hit.y, hit.x);
    bool groove = static_cast<int>(std::floor(around * 20 / std::numbers::pi)) % 2 != 0;
    material = groove ? Material::kEdgeDark : Material::kEdge;
    normal = Vec{c * hit.x / kRadius, hit.y / kRadius, -s * hit.x / kRadius};
  }

  const Vec light = Normalized({-0.45, 0.55, 1.0});
  const Vec halfway = Normalized(light + Vec{0, 0, 1});
  double diffuse = std::max(0.0, Dot(normal, light));
  double shine = std::pow(std::max(0.0, Dot(normal, halfway)), 40.0);
  double level = 0.35 + 0.65 * diffuse;
  Colour base = BaseColour(material);
  auto channel = [&](double value) { return std::min(255.0, value * level + 255.0 * 0.7 * shine); };
  return Colour{channel(base.r), channel(base.g), channel(base.b)};
}

// Median cut: splits the colours into `count` boxes and takes each box's mean.
std::vector<Rgb> ChoosePalette(std::vector<Rgb> colours, size_t count) {
  struct Box {
    size_t begin, end;
  };
  auto extent = [&](const Box& box, int channel) {
    auto value = [channel](const Rgb& colour) {
      return channel == 0 ? colour.r : channel == 1 ? colour.g : colour.b;
    };
    uint8_t low = 255, high = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      low = std::min(low, value(colours[i]));
      high = std::max(high, value(colours[i]));
    }
    return high - low;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  while (boxes.size() < count) {
    // Split the box with the widest channel, weighted by how many pixels it holds.
    size_t widest = 0;
    double widest_score = 0;
    int widest_channel = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      for (int channel = 0; channel < 3; ++channel) {
        double score = extent(boxes[i], channel) *
                       std::sqrt(static_cast<double>(boxes[i].end - boxes[i].begin));
        if (score > widest_score) {
          widest_score = score;
          widest = i;
          widest_channel = channel;
        }
      }
    }
    if (widest_score == 0) break;
    Box box = boxes[widest];
    auto key = [widest_channel](const Rgb& colour) {
      return widest_channel == 0 ? colour.r : widest_channel == 1 ? colour.g : colour.b;
    };
    std::sort(colours.begin() + box.begin, colours.begin() + box.end,
              [&](const Rgb& a, const Rgb& b) { return key(a) < key(b); });
    size_t middle = box.begin + (box.end - box.begin) / 2;
    boxes[widest] = {box.begin, middle};
    boxes.push_back({middle, box.end});
  }
  std::vector<Rgb> palette;
  for (const Box& box : boxes) {
    double r = 0, g = 0, b = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      r += colours[i].r;
      g += colours[i].g;
      b += colours[i].b;
    }
    double n = static_cast<double>(box.end - box.begin);
    palette.push_back(Rgb{static_cast<uint8_t>(std::lround(r / n)),
                          static_cast<uint8_t>(std::lround(g / n)),
                          static_cast<uint8_t>(std::lround(b / n))});
  }
  return palette;
}

int Nearest(const std::array<Rgb, 256>& palette, size_t used, Rgb colour) {
  int best = 1;
  int best_distance = std::numeric_limits<int>::max();
  for (size_t i = 1; i < used; ++i) {
    int dr = palette[i].r - colour.r, dg = palette[i].g - colour.g, db = palette[i].b - colour.b;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace

QspinPictures DrawQspin() {
  constexpr int kPixels = kQspinWidth * kQspinHeight;
  // The true colour of every pixel of every frame; nothing where the background shows.
  std::vector<std::vector<std::optional<Rgb>>> shots(kQspinFrames,
                                                     std::vector<std::optional<Rgb>>(kPixels));
  std::vector<Rgb> coin_colours;
  for (int frame = 0; frame < kQspinFrames; ++frame) {
    double angle = std::numbers::pi * frame / kQspinFrames;
    for (int py = 0; py < kQspinHeight; ++py) {
      for (int px = 0; px < kQspinWidth; ++px) {
        Colour sum{0, 0, 0};
        int hits = 0;
        for (int sy = 0; sy < kSubsamples; ++sy) {
          for (int sx = 0; sx < kSubsamples; ++sx) {
            double x = px + (sx + 0.5) / kSubsamples - kQspinWidth / 2.0;
            double y = kQspinHeight / 2.0 - (py + (sy + 0.5) / kSubsamples);
            if (auto colour = Trace(x, y, angle)) {
              sum = {sum.r + colour->r, sum.g + colour->g, sum.b + colour->b};
              ++hits;
            }
          }
        }
        // The silhouette stays hard so that keying out the background leaves no grey fringe.
        if (hits * 2 < kSubsamples * kSubsamples) continue;
        Rgb mean{static_cast<uint8_t>(std::lround(sum.r / hits)),
                 static_cast<uint8_t>(std::lround(sum.g / hits)),
                 static_cast<uint8_t>(std::lround(sum.b / hits))};
        shots[frame][py * kQspinWidth + px] = mean;
        coin_colours.push_back(mean);
      }
    }
  }

  QspinPictures pictures;
  pictures.palette[kQspinBackground] = kBackgroundColour;
  std::vector<Rgb> chosen = ChoosePalette(coin_colours, 255);
  for (size_t i = 0; i < chosen.size(); ++i) {
    Rgb colour = chosen[i];
    // The background colour must stay unique, or the coin would get holes where it is keyed out.
    if (colour == kBackgroundColour) colour.b = static_cast<uint8_t>(colour.b - 1);
    pictures.palette[i + 1] = colour;
  }
  size_t used = chosen.size() + 1;
  for (const auto& shot : shots) {
    std::vector<uint8_t> indices(kPixels, kQspinBackground);
    for (int i = 0; i < kPixels; ++i) {
      if (shot[i]) indices[i] = static_cast<uint8_t>(Nearest(pictures.palette, used, *shot[i]));
    }
    pictures.frames.push_back(std::move(indices));
  }
  return pictures;
}

}  // namespace qef
