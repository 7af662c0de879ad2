#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aColor;

uniform mat4 transform;

out vec3 fragColor;

void main()
{
    // No projection here: mirror the depth as the model's orthographic projection does, so
    // that the compass's axes point where the model's do and the nearer parts cover the rest.
    vec4 p = transform * vec4(aPos, 1.0);
    gl_Position = vec4(p.x, p.y, -p.z, p.w);
    fragColor = aColor;
}
