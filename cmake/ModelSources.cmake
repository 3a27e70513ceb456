# The display-free model: vectors, matrices and quaternions, the figure with
# its joints and handles, the humanoid, and what is done with a pose (its
# state, history, text, mirror and files). The main build adds the solver
# (ik/) to it; the fuzzing build, made with clang, uses it alone. It links
# zlib, whose CRC checks the pose a picture carries.
find_package(ZLIB REQUIRED)
set(MANNEQUIN_MODEL_SOURCES
  math/Mat4.cpp
  math/Quat.cpp
  figure/Transform.cpp
  figure/Segment.cpp
  figure/Figure.cpp
  figure/ParamKinds.cpp
  figure/FigureRayPick.cpp
  figure/FigureReach.cpp
  figure/RaySphere.cpp
  humanoid/Humanoid.cpp
  pose/FigureState.cpp
  pose/Pose.cpp
  pose/PoseMirror.cpp
  pose/BodyPart.cpp
  pose/JointCopies.cpp
  pose/PartApply.cpp
  pose/PoseText.cpp
  pose/PoseFileText.cpp
  pose/PictureHeader.cpp
  pose/ViewState.cpp
  pose/PoseFile.cpp
  pose/PosePicture.cpp
  pose/ShownText.cpp
  pose/BvhRotation.cpp
  pose/BvhSkeleton.cpp
  pose/BvhWriter.cpp
  pose/BvhReader.cpp
  pose/CaptureFamilies.cpp
  pose/Capture.cpp
  pose/CaptureFit.cpp
  pose/CaptureReading.cpp
  pose/RigWriter.cpp
)
list(TRANSFORM MANNEQUIN_MODEL_SOURCES PREPEND "${CMAKE_CURRENT_LIST_DIR}/../")
