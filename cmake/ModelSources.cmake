# The display-free model: vectors, matrices and quaternions, the figure with
# its joints, handles, state and poses, and the humanoid. The main build adds
# the solver (ik/) to it; the fuzzing build, made with clang, uses it alone.
set(MANNEQUIN_MODEL_SOURCES
  math/Mat4.cpp
  math/Quat.cpp
  figure/Transform.cpp
  figure/Segment.cpp
  figure/Figure.cpp
  figure/FigureState.cpp
  figure/PoseHistory.cpp
  figure/ParamKinds.cpp
  figure/Pose.cpp
  figure/PoseMirror.cpp
  figure/PoseText.cpp
  figure/FigureRayPick.cpp
  figure/RaySphere.cpp
  humanoid/Humanoid.cpp
)
list(TRANSFORM MANNEQUIN_MODEL_SOURCES PREPEND "${CMAKE_CURRENT_LIST_DIR}/../")
