#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aTexCoord;

uniform mat4 transform;
// Position of the slice in the stack, 0 to 1.
uniform float sliceIndex;

out vec3 vTexCoord;

void main()
{
    gl_Position = transform * vec4(aPosition.xyz, 1.0);
    vTexCoord = vec3(aTexCoord.xy, sliceIndex);
}
