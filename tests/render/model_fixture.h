// Hand-written ".x" fixtures of the model tests.
#pragma once

// Two frames: "Body" (a red-textured quad at z 0 and a blue quad at z 10) and its child "Arm" (a
// green quad at z -5) that turns about z from 0 to 90 degrees in the first second and back to 0
// at two seconds (4800 ticks a second; keys as the file's own quaternions w, x, y, z).
inline const char* kTwoFrameModel = R"(xof 0303txt 0032

Material Red {
  1.0;0.0;0.0;1.0;;
  5.0;
  0.0;0.0;0.0;;
  0.0;0.0;0.0;;
  TextureFilename {
    "red.png";
  }
}

Material Blue {
  0.0;0.0;1.0;1.0;;
  5.0;
  0.0;0.0;0.0;;
  0.0;0.0;0.0;;
}

Material Green {
  0.0;1.0;0.0;1.0;;
  5.0;
  0.0;0.0;0.0;;
  0.0;0.0;0.0;;
  TextureFilename {
    "missing.png";
  }
}

Frame Body {
  FrameTransformMatrix {
    1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;
  }
  Mesh BodyMesh {
    8;
    -1.0;1.0;0.0;,
    1.0;1.0;0.0;,
    1.0;-1.0;0.0;,
    -1.0;-1.0;0.0;,
    -1.0;1.0;10.0;,
    1.0;1.0;10.0;,
    1.0;-1.0;10.0;,
    -1.0;-1.0;10.0;;
    2;
    4;0,1,2,3;,
    4;4,5,6,7;;
    MeshTextureCoords {
      8;
      0.0;0.0;,
      1.0;0.0;,
      1.0;1.0;,
      0.0;1.0;,
      0.0;0.0;,
      1.0;0.0;,
      1.0;1.0;,
      0.0;1.0;;
    }
    MeshVertexColors {
      8;
      0;1.0;1.0;1.0;1.0;;,
      1;1.0;1.0;1.0;1.0;;,
      2;1.0;1.0;1.0;1.0;;,
      3;1.0;1.0;1.0;1.0;;,
      4;0.0;0.0;1.0;1.0;;,
      5;0.0;0.0;1.0;1.0;;,
      6;0.0;0.0;1.0;1.0;;,
      7;0.0;0.0;1.0;1.0;;;
    }
    MeshMaterialList {
      3;
      2;
      0,
      1;
      {Red}
      {Blue}
      {Green}
    }
  }
  Frame Arm {
    FrameTransformMatrix {
      1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,1.0,0.0,-5.0,1.0;;
    }
    Mesh ArmMesh {
      4;
      0.0;0.25;0.0;,
      2.0;0.25;0.0;,
      2.0;-0.25;0.0;,
      0.0;-0.25;0.0;;
      1;
      4;0,1,2,3;;
      MeshVertexColors {
        4;
        0;0.0;1.0;0.0;1.0;;,
        1;0.0;1.0;0.0;1.0;;,
        2;0.0;1.0;0.0;1.0;;,
        3;0.0;1.0;0.0;1.0;;;
      }
      MeshMaterialList {
        3;
        1;
        2;;
        {Red}
        {Blue}
        {Green}
      }
    }
  }
}

AnimTicksPerSecond {
  4800;
}

AnimationSet Wave {
  Animation {
    {Arm}
    AnimationKey {
      0;
      3;
      0;4;1.0,0.0,0.0,0.0;;,
      4800;4;0.707107,0.0,0.0,0.707107;;,
      9600;4;1.0,0.0,0.0,0.0;;;
    }
    AnimationKey {
      2;
      1;
      0;3;1.0,0.0,-5.0;;;
    }
  }
}
)";

// No frames: two materials, the first reaching z 2, the second z 8 (drawn first).
inline const char* kStaticModel = R"(xof 0303txt 0032

Mesh Static {
  6;
  0.0;0.0;2.0;,
  1.0;0.0;2.0;,
  0.0;1.0;2.0;,
  0.0;0.0;8.0;,
  1.0;0.0;8.0;,
  0.0;1.0;8.0;;
  2;
  3;0,1,2;,
  3;3,4,5;;
  MeshMaterialList {
    2;
    2;
    0,
    1;;
    Material Near {
      1.0;1.0;1.0;1.0;;
      0.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
      TextureFilename {
        "near.png";
      }
    }
    Material Far {
      1.0;1.0;1.0;1.0;;
      0.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
      TextureFilename {
        "far.png";
      }
    }
  }
}
)";
