#version 330 core
// One echo point: (along-track, x, y) is its model position, w its strength.
layout(location = 0) in vec4 vVertices;

uniform mat4 transform;
uniform float pointSize;

out float fs_power;
out vec3 fs_position;

void main()
{
    gl_Position = transform * vec4(vVertices.xyz, 1.0);
    fs_power = vVertices.w;
    fs_position = vVertices.xyz;
    gl_PointSize = pointSize;
}
