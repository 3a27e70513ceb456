#include "app/Scene.h"

#include "humanoid/Humanoid.h"

Scene::Scene() : figure(buildHumanoid()) { figure->updateHandlePositions(); }
