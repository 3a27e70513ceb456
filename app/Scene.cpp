#include "app/Scene.h"

#include "humanoid/Humanoid.h"

#include "pose/FigureState.h"

namespace {

std::unique_ptr<Figure> builtFigure() {
  std::unique_ptr<Figure> figure = buildHumanoid();
  figure->updateHandlePositions();
  return figure;
}

}  // namespace

Scene::Scene() : figure(builtFigure()), history(saveState(*figure)) {}
