textures/skies/night
{
	surfaceparm sky
	surfaceparm noimpact
	skyParms env/night 512 -
	q3map_sun 1 1 1 100 220 50
	{
		animMap 4 textures/skies/a.tga textures/skies/b.tga
		blendFunc blend
	}
}
textures/common/clip { surfaceparm nodraw surfaceparm nonsolid }
